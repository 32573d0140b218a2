#include "AlarmFileCommands.h"

#include "AlmFile.h"
#include "platform/FileDialogs.h"
#include "platform/FileSystem.h"
#include "platform/MessageBoxes.h"
#include "platform/Platform.h"

#include <string>

namespace kadrill::alarm {

namespace {

using platform::MessageAnswer;
using platform::MessageButtons;
using platform::MessageIcon;

constexpr const char* kTitle = "Kadrill";
constexpr const char* kNotAlarmFile = "指定されたﾌｧｲﾙはｱﾗｰﾑの設定ﾌｧｲﾙとして読込めません。";

platform::FileDialogOptions dialogOptions(const platform::FileSystem& files, const char* title, const char* fileName) {
    // The documents folder, not the program's: an installed program's folder is not the
    // user's to write in.
    return {title, files.documentsFolder() + "/" + fileName, {{"ｱﾗｰﾑ設定ﾌｧｲﾙ ", {"*.alm"}}}};
}

} // namespace

AlarmFileCommands::AlarmFileCommands(platform::Platform& platform, AlarmFields& live)
    : platform_(platform), live_(live) {}

bool AlarmFileCommands::Save(AlarmSettings workingCopy) {
    const std::string path = platform_.fileDialogs.saveFileName(dialogOptions(platform_.files, "設定の保存", "無題"));
    if (path.empty()) {
        return false;
    }
    // Also a file the user may not read is worth a question before it is replaced.
    if (platform_.files.isReadableFile(path) || IsOccupiedPath(path)) {
        const MessageAnswer answer = platform_.messages.show("指定されたﾌｧｲﾙは既に存在します。上書きしますか。", kTitle,
                                                             MessageIcon::Exclamation, MessageButtons::YesNo);
        if (answer != MessageAnswer::Yes) {
            platform_.messages.show("ｱﾗｰﾑの設定の保存はｷｬﾝｾﾙされました。", kTitle, MessageIcon::Information);
            return false;
        }
    }
    switch (SaveAlmFile(path, workingCopy)) {
    case SaveOutcome::Saved:
        lastFile_ = path;
        platform_.messages.show("ｱﾗｰﾑの設定を保存しました。", kTitle, MessageIcon::Information);
        return true;
    case SaveOutcome::Unencodable:
        platform_.messages.show("ｼﾌﾄJISで保存できない文字が含まれているため、ｱﾗｰﾑの設定を保存できませんでした。",
                                kTitle, MessageIcon::Critical);
        return false;
    case SaveOutcome::WriteFailed:
        break; // file errors end the operation without a word, as everywhere in the program
    }
    return false;
}

std::optional<AlarmSettings> AlarmFileCommands::Load() {
    const std::string path =
        platform_.fileDialogs.openFileName(dialogOptions(platform_.files, "設定の読込み", "*.alm"));
    if (path.empty()) {
        return std::nullopt;
    }
    return LoadFrom(path, Source::Dialog);
}

std::optional<AlarmSettings> AlarmFileCommands::LoadFrom(const std::string& path, Source source) {
    if (!platform_.files.isReadableFile(path)) {
        platform_.messages.show("指定されたﾌｧｲﾙは存在しません。", kTitle, MessageIcon::Exclamation);
        platform_.messages.show("ｱﾗｰﾑの設定の読込みはｷｬﾝｾﾙされました。", kTitle, MessageIcon::Information);
        return std::nullopt;
    }
    // The whole file is checked before anything changes: a bad file leaves the alarm as it was.
    std::optional<AlarmSettings> loaded = LoadAlmFile(path);
    if (!loaded) {
        // In the dialog the missing confirmation tells; a file opened from outside has no
        // dialog to show it, and an alarm that silently is not set would not ring.
        if (source != Source::Dialog) {
            platform_.messages.show(kNotAlarmFile, kTitle, MessageIcon::Exclamation);
            platform_.messages.show("ｱﾗｰﾑの設定の読込みはｷｬﾝｾﾙされました。", kTitle, MessageIcon::Information);
        }
        return std::nullopt;
    }
    ApplySettings(live_, *loaded);
    lastFile_ = path;
    // At start (at login, say) a confirmation would only be in the way.
    if (source != Source::StartUp) {
        platform_.messages.show("ｱﾗｰﾑの設定を読込みました。", kTitle, MessageIcon::Information);
    }
    return loaded;
}

} // namespace kadrill::alarm
