#include "fakes/reset_core.h"

#include "crypto/keys.h"
#include "net/alerts.h"
#include "net/connection_state.h"
#include "net/transfer.h"
#include "popup/popup_rules.h"
#include "settings/settings.h"

void ResetCoreState() {
    windowActive = 1;
    SetDefaultSettings(chatSettings);
    ResetConnectionState();
    EmptyTransferBuffers();
    flashing = 0;
    ResetPopupSound();
    ForgetKeys();
}
