#pragma once

// Windows whose controls are placed at fixed coordinates, as designed for a small system font, grown
// so that every caption shows whole at the toolkit's own font. The whole design (positions, sizes and
// the client area) is scaled by one factor: the least that gives each caption (labels, buttons, check
// and radio boxes, group box titles, tab titles) and each text line (edits, combo boxes, track bars)
// the size its font asks for within the room the design left it, up to the next control or the edge of
// its container. A control then grows into that room as far as its text needs; containers and the
// window grow where their contents still do not fit.
//
// Pictures whose pixel size means something (previews drawn at fixed scales) are listed as fixed:
// they are moved with the design but keep their size, and what lies on them is left alone.

#include <QWidget>

#include <vector>

namespace platform::ui {

class Form;

// Fits the form; returns the factor used (1 when everything fitted as designed). A later call (after
// captions changed) starts again from the design as the first call found it.
double fitToText(Form& form, const std::vector<QWidget*>& fixedSize, double maxScale = 2.0);

} // namespace platform::ui
