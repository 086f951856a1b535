// Routines of the option pages and the profile list that start-up and the profile loader call. Until
// that code is in place they leave the window as designed.
#include "kes/form1.h"

namespace kes {

void TForm1::GetAllProfiles() {}

} // namespace kes
