#include "dialog_run.h"

#include "dialog/dialogmanager.h"
#include "fuzz_common.h"

namespace fuzz {
namespace {

class Character : public DialogCharacter {
public:
    const char* GetConversationName() override { return "Fuzz"; }
    void StartTalking(float) override {}
    void GetConversationFrame(float position[3], float xAxis[3], float zAxis[3]) override {
        for (int i = 0; i < 3; ++i) {
            position[i] = 10.0f * static_cast<float>(i);
            xAxis[i] = i == 0 ? 1.0f : 0.0f;
            zAxis[i] = i == 2 ? 1.0f : 0.0f;
        }
    }
};

}  // namespace

void PlayDialog(const uint8_t* bytes, size_t size, const uint8_t* choices, size_t count, int views) {
    WriteFile("dialogs/fuzz.dlg", bytes, size);
    // The game never forgets a dialog it has loaded; each input is new.
    ClearDialogCache();
    Character character;
    DialogBinding binding("dialogs\\fuzz", &character);
    if (!DialogManager::Bind(&binding)) return;
    DialogManager::SetActive(&binding);
    for (int view = 0; view < views; ++view) {
        DialogTextBox* box = DialogManager::NextTextBox();
        if (!box) break;
        delete box;
        int choice = count ? choices[static_cast<size_t>(view) % count] % 4 : 0;
        DialogManager::Answer(choice);
    }
    DialogManager::SetActive(nullptr);
}

}  // namespace fuzz
