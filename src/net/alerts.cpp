#include "net/alerts.h"

int32_t flashing = 0;

// Nothing starts the flash yet; stopping only has to keep the flag honest.
bool StopTitleFlash() {
    flashing = 0;
    return true;
}
