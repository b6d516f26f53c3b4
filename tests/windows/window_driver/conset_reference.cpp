// Linux side of the Windows configuration-dialog test: the settings file that the configuration
// dialog's logic writes, on Linux, for the operator's steps that the window driver takes on
// Windows (check the box, add the pairs, enter the time-out, OK). Usage:
//   conset_reference FOLDER TIMEOUT ADDRESS/MASK...
// FOLDER holds the starting QarvVindle.ini; the dialog's save replaces it there.
#include <array>
#include <cstdio>
#include <string>

#include "platform/memory_list_view.h"
#include "settings/conset_logic.h"
#include "settings/settings.h"

namespace {

class Switch : public vindle::CheckBoxControl {
  public:
    void SetEnabled(bool enabled) override { m_enabled = enabled; }
    bool IsEnabled() override { return m_enabled; }
    bool IsChecked() override { return m_checked; }
    void SetChecked(bool checked) override { m_checked = checked; }

  private:
    bool m_enabled = true;
    bool m_checked = false;
};

class Plain : public vindle::Control {
  public:
    void SetEnabled(bool enabled) override { m_enabled = enabled; }
    bool IsEnabled() override { return m_enabled; }

  private:
    bool m_enabled = true;
};

// An address field as the operator leaves it: four numbers, shown without leading zeros.
class AddressField : public vindle::IpAddressControl {
  public:
    void SetEnabled(bool enabled) override { m_enabled = enabled; }
    bool IsEnabled() override { return m_enabled; }
    std::array<int, 4> FieldValues() override { return m_fields; }
    std::string Text() override {
        return std::to_string(m_fields[0]) + "." + std::to_string(m_fields[1]) + "." +
               std::to_string(m_fields[2]) + "." + std::to_string(m_fields[3]);
    }
    bool Type(const std::string& dotted) {
        char rest = 0;
        return std::sscanf(dotted.c_str(), "%d.%d.%d.%d%c", &m_fields[0], &m_fields[1],
                           &m_fields[2], &m_fields[3], &rest) == 4;
    }

  private:
    bool m_enabled = true;
    std::array<int, 4> m_fields{};
};

class NumberBox : public vindle::NumberEditControl {
  public:
    void SetEnabled(bool enabled) override { m_enabled = enabled; }
    bool IsEnabled() override { return m_enabled; }
    std::string Text() override { return m_text; }
    void SetText(const std::string& text) override { m_text = text; }

  private:
    bool m_enabled = true;
    std::string m_text;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: conset_reference FOLDER TIMEOUT ADDRESS/MASK...\n");
        return 2;
    }
    Switch searchSpecified, thoroughSearch;
    Plain addButton, deleteButton, listWindow;
    vindle::MemoryListView list;
    AddressField address, mask;
    NumberBox timeout;
    bool refused = false;
    const vindle::Settings settings = vindle::Settings::InFolder(argv[1]);
    vindle::ConsetLogic logic(settings,
                              {searchSpecified, addButton, deleteButton, list, listWindow, address,
                               mask, timeout, thoroughSearch},
                              [&](const std::string& text) {
                                  std::fprintf(stderr, "conset_reference: the dialog says: %s\n",
                                               text.c_str());
                                  refused = true;
                              });
    logic.LoadSettings();
    searchSpecified.SetChecked(true);
    logic.ApplyCheckBoxRule();
    for (int i = 3; i < argc; ++i) {
        const std::string pair = argv[i];
        const auto slash = pair.find('/');
        if (slash == std::string::npos || !address.Type(pair.substr(0, slash)) ||
            !mask.Type(pair.substr(slash + 1))) {
            std::fprintf(stderr, "conset_reference: not ADDRESS/MASK: %s\n", argv[i]);
            return 2;
        }
        logic.OnAdd();
    }
    timeout.SetText(argv[2]);
    return logic.OnOk() && !refused ? 0 : 1;
}
