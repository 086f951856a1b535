#include "kes/form1_rip_steps_common.h"

#include "kes/ext_runner.h"
#include "kes/form1.h"
#include "kes/form1_unit.h"
#include "kes/rip_record.h"

#include "platform/ui/dialogs.h"

namespace kes {

namespace core = platform::core;

RipStepRun::RipStepRun(TForm1& form) : f_(form), multi_(form.usemulti.checked()) {}

core::DateTime RipStepRun::stepStart() {
    const core::DateTime now = core::now();
    RipRecord.stepStarted(now);
    return now;
}

core::DateTime RipStepRun::stepEnd() {
    const core::DateTime now = core::now();
    RipRecord.stepEnded(now);
    return now;
}

void RipStepRun::failStep(const std::string& message) {
    RipAborted = true;
    if (!multi_)
        ui::errorBox(message);
}

bool RipStepRun::runProgram(const std::string& commandLine) {
    ExtCommand = commandLine;
    if (f_.RunExtProg())
        return true;
    RipAborted = true;
    return false;
}

bool RipStepRun::startProgram(const std::string& commandLine) {
    if (f_.StartExtProg(commandLine))
        return true;
    failStep(cannotStartText(commandLine));
    return false;
}

} // namespace kes
