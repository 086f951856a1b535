#pragma once

// Print dialog over the application's printer (the printer that printing code draws on).

class QPrinter;

namespace platform::ui {

class Form;

// The application's printer, made on first use (CUPS or PDF output as Qt provides).
QPrinter& applicationPrinter();

class PrintDialog {
public:
    // Before execute: the proposed number of copies; after: the chosen one.
    int copies = 1;

    // Shows the dialog for applicationPrinter(); true when the user chose to print.
    bool execute(Form* owner = nullptr);
};

} // namespace platform::ui
