// What becomes of the station's sender (cli::CfxSenderWhileOpen::notice) shown
// in a window: read on the window's thread, as the sender is watched on a
// thread of its own, and handed to the window only when it changes.
#pragma once

#include <functional>

#include "cli/cfx_sender_child.h"
#include "platform/operator_text.h"

class QObject;

// Until `owner` is destroyed, `show` gets the sender's notice at once and
// then each time it changes (an empty text once it runs again).
void show_sender_notices(QObject* owner, const cli::CfxSenderWhileOpen& sender,
                         std::function<void(const platform::OperatorText&)> show);
