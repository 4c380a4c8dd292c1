#include "app/app_state.h"

#include "net/alerts.h"
#include "net/connection_state.h"
#include "net/incoming.h"
#include "net/transfer.h"
#include "popup/popup_rules.h"
#include "settings/settings.h"

int32_t windowActive = 1;

void ResetCoreState() {
    windowActive = 1;
    SetDefaultSettings(chatSettings);
    ResetConnectionState();
    EmptyTransferBuffers();
    receivedMessageHandler = DispatchIncoming;
    flashing = 0;
    ResetPopupSound();
}
