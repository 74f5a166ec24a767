// A library that calls itself the engine but has only one of its five exports.
#include "ZELK_Eng.h"

extern "C" ZELK_API int32_t ZELK_CALL openKaldex(void) {
    return 0;
}
