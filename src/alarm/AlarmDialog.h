#pragma once

#include "AlarmFileCommands.h"
#include "AlarmSettings.h"
#include "platform/Event.h"
#include "platform/Platform.h"
#include "platform/Window.h"
#include "state/AlarmFields.h"
#include "state/DialFields.h"
#include "timeset/Dial.h"

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace kadrill::alarm {

/// The alarm settings dialog: the alarm time on a dial and in three boxes, armed or not,
/// a sound or a program with the keys to type into it. It edits a working copy in its
/// controls; OK commits it, Save writes it to a file, Load reads a file into the settings
/// and shows it. One instance; opening it again only brings it forward.
class AlarmDialog {
public:
    AlarmDialog(platform::Platform& platform, state::AlarmFields& alarm, state::DialState& dials);
    AlarmDialog(const AlarmDialog&) = delete;
    AlarmDialog& operator=(const AlarmDialog&) = delete;

    /// OK has committed the settings: the watch windows recolour their ♪ mark.
    platform::Event<> committed;

    /// Opens the dialog filled from the settings, or brings the open one forward unchanged.
    void Show();
    bool isOpen() const { return window_ != nullptr; }

    /// What the controls hold now, as settings.
    AlarmSettings workingCopy() const;

    /// Loads a file chosen outside the dialog, as its Load button does: into the live
    /// settings and, while the dialog is open, into the dialog. True when it loaded.
    bool openFile(const std::string& path, AlarmFileCommands::Source source);
    /// The settings file last saved or loaded; empty before any.
    const std::string& lastFile() const { return files_.lastFile(); }

    // The open dialog's parts; null while it is closed.
    platform::Window* window() { return window_.get(); }
    timeset::Dial* dial() { return dial_.get(); }
    platform::Frame* Frame3 = nullptr;
    std::array<platform::OptionButton*, 2> AlarmSwitch{};
    platform::Frame* Frame4 = nullptr;
    std::array<platform::OptionButton*, 2> AlarmAction{};
    platform::Label* Label3 = nullptr;
    platform::Label* Label4 = nullptr;
    std::array<platform::TextBox*, 2> FileName{};
    platform::CommandButton* ReferenceButton = nullptr;
    platform::Frame* Frame5 = nullptr;
    platform::Frame* Frame6 = nullptr;
    platform::Label* Label5 = nullptr;
    platform::TextBox* KeyInputBox = nullptr;
    platform::Label* Label6 = nullptr;
    platform::ListBox* KeyList = nullptr;
    platform::Label* Label7 = nullptr;
    platform::ListBox* AprActionList = nullptr;
    /// Shown with the program action where keys cannot be typed into another program.
    platform::Label* keysUnavailableNote = nullptr;
    platform::CommandButton* AddKeyButton = nullptr;
    platform::CommandButton* DeleteKeyButton = nullptr;
    platform::CommandButton* AlarmOKButton = nullptr;
    platform::CommandButton* AlarmCancelButton = nullptr;
    platform::CommandButton* AlarmClearButton = nullptr;
    platform::CommandButton* AlarmSaveButton = nullptr;
    platform::CommandButton* AlarmLoadButton = nullptr;
    /// The codes of the keys, line for line with AprActionList, without its closing line.
    std::vector<std::string> AprActionCodeList;

private:
    void Load();
    void buildControls();
    void FillAlarmDialog();
    void ResetAlarmDialog();
    void actionClicked();
    void browse();
    void ok();
    void cancel();
    void clear();
    void save();
    void load();
    void refill();
    void close();

    // Key-sequence editing.
    bool isFull() const;
    int keyCount() const { return static_cast<int>(AprActionCodeList.size()); }
    bool programSelected() const;
    bool keyListRowAddable() const;
    bool canAdd() const;
    void keyInputClicked();
    void keyListChanged();
    void listChanged();
    void addKey();
    void deleteKey();
    void insertKey(int at, const std::string& name, const std::string& code);
    void updateKeyEntry();
    void updateButtons();

    platform::Platform& platform_;
    state::AlarmFields& alarm_;
    state::DialState& dials_;
    AlarmFileCommands files_;
    std::unique_ptr<platform::Window> window_;
    std::unique_ptr<timeset::Dial> dial_;
};

} // namespace kadrill::alarm
