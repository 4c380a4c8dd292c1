#include <gtest/gtest.h>

#include "res/resource.h"
#include "win32/e2e_support.h"

void StartServing(Program& program) {
    program.Command(IDM_START_SERVER);
    ASSERT_TRUE(program.WaitForHistory(SERVER_STARTED)) << program.lastHistory;
    ASSERT_TRUE(program.WaitForHistory("\r\n", 7)) << "the address line is complete: " << program.lastHistory;
}
