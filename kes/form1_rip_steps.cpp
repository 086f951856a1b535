// The work steps of a rip, run by TForm1::Launchrip after its checks. Each step runs only while
// RipAborted is clear and records its start, end and free space in RipRecord.
#include "kes/form1.h"

namespace kes {

// The audio steps are in form1_audio_steps.cpp.

// Video conversion, mux, subtitles, and the closing steps with the report.
void TForm1::RipVideoSteps() {}

} // namespace kes
