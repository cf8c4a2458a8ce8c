// Saves the index and lock files of one device in a tight loop, alternating
// between two complete states, until it is killed. Used by the files test
// to interrupt saves at random moments.
//   savehammer_test_helper DEVICE READY_EVENT
#include <windows.h>

#include <cstdlib>

#include "config/files.h"
#include "config/profile.h"
#include "config/test/save_states.h"

namespace {

int aiState[kPackageMax + 1];
int abState[kPackageMax + 1];

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3) return 2;
    SetDeviceNumber(std::atoi(argv[1]));
    HANDLE hReady = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[2]);
    for (unsigned int k = 0;; ++k) {
        FillSaveState(static_cast<int>(k % 2), aiState, abState);
        for (int d = 1; d <= kPackageMax; ++d) {
            SetRoute(d, aiState[d]);
            SetLocks(d, d, abState[d]);
        }
        if (!SaveIndexFile() || !SaveLockFile()) return 1;
        if (k == 1 && hReady != nullptr) SetEvent(hReady);
    }
}
