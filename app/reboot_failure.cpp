#include "app/reboot_failure.h"

#include <cstdio>

#include "app/startup_messages.h"
#include "config/program_values.h"
#include "platform/platform.h"

std::string RebootFailureText(bool japanese) {
    return japanese ? "再起動できませんでした。" : "Can't reboot.";
}

void ShowRebootFailure() {
    const std::string text = RebootFailureText(UseJapanese());
    platform::ShowMessage(text, kStartupErrorTitle, platform::MessageIcon::Stop,
                          platform::MessageButtons::Ok);
}
