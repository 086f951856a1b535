#include "kes/rip_record.h"

namespace kes {

TRipRecord RipRecord;

} // namespace kes
