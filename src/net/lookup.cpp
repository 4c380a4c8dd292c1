// Host look-ups of the client side: a name typed into the Connect to
// dialog is looked up without holding the program, then connected to.
#include <cstddef>
#include <memory>
#include <new>
#include <vector>

#include "common/text.h"
#include "console/history.h"
#include "net/connection.h"
#include "net/connection_parts.h"
#include "net/control_states.h"
#include "seams/sockets.h"

namespace {

// One host look-up: the name handed to the look-up and the buffer it writes
// the host entry into. Both must stay put until its answer has come.
struct HostLookup {
    uintptr_t handle = 0;
    char name[CONNECT_HOST_SIZE] = {};
    alignas(alignof(std::max_align_t)) char result[RESOLVE_RESULT_SIZE] = {};
};

std::unique_ptr<HostLookup> currentLookup;
// Look-ups given up by Disconnect. WSACancelAsyncRequest cancels nothing
// under Wine: the look-up still writes its buffer and posts its answer, so
// its record is kept until that answer arrives. One that WinSock did cancel
// never answers and keeps its record for the rest of the run, which costs
// about a kilobyte per cancelled look-up and never lets a late write land
// in a buffer that someone reads.
std::vector<std::unique_ptr<HostLookup>> abandonedLookups;

ConnectionState& cs = connectionState;

void ReleaseAbandonedLookup(uintptr_t handle) {
    if (handle == 0) return;
    for (auto it = abandonedLookups.begin(); it != abandonedLookups.end(); ++it) {
        if ((*it)->handle == handle) {
            abandonedLookups.erase(it);
            return;
        }
    }
}

}  // namespace

void StartLookup(const char* host) {
    cs.resolving = 1;
    // A fresh record for every look-up: an abandoned one may still be
    // writing into its own.
    currentLookup.reset(new (std::nothrow) HostLookup);
    if (currentLookup) {
        CopyText(currentLookup->name, host);
        currentLookup->handle = StartHostLookup(currentLookup->name, currentLookup->result, RESOLVE_RESULT_SIZE);
        cs.resolveResult = currentLookup->result;
        cs.resolveHandle = currentLookup->handle;
    } else {
        // As a look-up that could not start: resolving until the user
        // disconnects.
        cs.resolveResult = nullptr;
        cs.resolveHandle = 0;
    }
}

void GiveUpLookup() {
    if (cs.resolving != 1) return;
    if (cs.resolveHandle != 0) CancelHostLookup(cs.resolveHandle);
    cs.resolveResult = nullptr;
    // A look-up that never started writes nothing and answers nothing.
    if (currentLookup && currentLookup->handle != 0) abandonedLookups.push_back(std::move(currentLookup));
    currentLookup.reset();
    cs.resolving = 0;
    cs.resolveHandle = 0;
}

void ForgetLookups() {
    // Only tests start over; the running program never drops a look-up
    // record that may still be written to.
    currentLookup.reset();
    abandonedLookups.clear();
}

void OnResolveDone(uintptr_t taskHandle, int error) {
    if (cs.resolving != 1 || taskHandle == 0 || taskHandle != cs.resolveHandle || !currentLookup) {
        // The answer of a look-up given up earlier: the look-up is done
        // with its record now.
        ReleaseAbandonedLookup(taskHandle);
        return;
    }
    std::unique_ptr<HostLookup> done = std::move(currentLookup);
    cs.resolveResult = nullptr;
    uint32_t address = 0;
    if (error == 0 && FirstLookupAddress(done->result, &address)) {
        OpenConnection(address);
    } else {
        // A host entry without an address is as good as no entry.
        AppendHistory("***Error: Unable to resolve address!\r\n");
    }
    cs.resolving = 0;
    cs.resolveHandle = 0;
    ApplyControlStates();
}
