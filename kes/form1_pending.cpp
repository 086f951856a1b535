// Routines of the option pages and the profile list that start-up and the profile loader call. Until
// that code is in place they leave the window as designed.
#include "kes/form1.h"

namespace kes {

void TForm1::GetAllProfiles() {}
void TForm1::setautoparam() {}
void TForm1::CodecChange() {}
void TForm1::DispatchSampleBitParams() {}
void TForm1::DispatchBitParams() {}

} // namespace kes
