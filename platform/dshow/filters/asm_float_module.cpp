// "AsmFloatFull.dll": the audio decoder's sample conversion.

#include "platform/dshow/filters/decoder_parts.h"

extern "C" [[gnu::visibility("default")]] platform::dshow::filters::SampleConverter*
AsmCreateSampleConverter(int outputRate) {
    return platform::dshow::filters::makeSampleConverter(outputRate).release();
}
