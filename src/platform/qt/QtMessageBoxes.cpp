#include "QtMessageBoxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace kadrill::platform::qt {

namespace {

QMessageBox::Icon toQIcon(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Critical:
        return QMessageBox::Critical;
    case MessageIcon::Question:
        return QMessageBox::Question;
    case MessageIcon::Exclamation:
        return QMessageBox::Warning;
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

MessageAnswer QtMessageBoxes::show(const std::string& text, const std::string& title, MessageIcon icon,
                                   MessageButtons buttons) {
    QMessageBox box(toQIcon(icon), QString::fromStdString(title), QString::fromStdString(text));
    // Japanese captions, with the access keys a Japanese desktop gives them.
    struct Choice {
        MessageAnswer answer;
        const char* caption;
        QMessageBox::ButtonRole role;
    };
    std::vector<Choice> choices;
    switch (buttons) {
    case MessageButtons::Ok:
        choices = {{MessageAnswer::Ok, "OK", QMessageBox::AcceptRole}};
        break;
    case MessageButtons::OkCancel:
        choices = {{MessageAnswer::Ok, "OK", QMessageBox::AcceptRole},
                   {MessageAnswer::Cancel, "キャンセル", QMessageBox::RejectRole}};
        break;
    case MessageButtons::YesNo:
        choices = {{MessageAnswer::Yes, "はい(&Y)", QMessageBox::YesRole},
                   {MessageAnswer::No, "いいえ(&N)", QMessageBox::NoRole}};
        break;
    case MessageButtons::YesNoCancel:
        choices = {{MessageAnswer::Yes, "はい(&Y)", QMessageBox::YesRole},
                   {MessageAnswer::No, "いいえ(&N)", QMessageBox::NoRole},
                   {MessageAnswer::Cancel, "キャンセル", QMessageBox::RejectRole}};
        break;
    }
    std::vector<QPushButton*> pushButtons;
    for (const Choice& c : choices) {
        pushButtons.push_back(box.addButton(QString::fromUtf8(c.caption), c.role));
    }
    box.setDefaultButton(pushButtons.front());
    box.setEscapeButton(pushButtons.back());
    box.exec();
    for (std::size_t i = 0; i < choices.size(); ++i) {
        if (box.clickedButton() == pushButtons[i]) {
            return choices[i].answer;
        }
    }
    return choices.back().answer;
}

} // namespace kadrill::platform::qt
