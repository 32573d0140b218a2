// What only the Qt backend can show of the dialog controls: the file dialog's captions and
// listing, fonts, accessible names and the greyed look.
#include "NoTimeSetter.h"
#include "platform/qt/QtContainer.h"
#include "platform/qt/QtControls.h"
#include "platform/qt/QtPlatform.h"
#include "platform/qt/QtWindow.h"
#include "platform/x11/X11NativeDesktop.h"

#include <QAccessible>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

using namespace kadrill::platform;

namespace {

/// Runs `act` on the file dialog once it is up; the dialog's exec() is running by then.
/// A message box that comes up instead is noted and closed.
class DialogWatch {
public:
    explicit DialogWatch(std::function<void(QFileDialog*)> act) : act_(std::move(act)) {
        QObject::connect(&poll_, &QTimer::timeout, &poll_, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                askedInBetween = true;
                box->reject();
                return;
            }
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            if (dialog == nullptr || !dialog->isVisible() || done_) {
                return;
            }
            done_ = true;
            act_(dialog);
        });
        poll_.start(5);
    }
    bool askedInBetween = false;

private:
    std::function<void(QFileDialog*)> act_;
    QTimer poll_;
    bool done_ = false;
};

/// The names the dialog lists in the folder it shows, once it has read them.
QStringList listed(QFileDialog* dialog, int expected) {
    auto* view = dialog->findChild<QListView*>(QStringLiteral("listView"));
    QStringList names;
    auto read = [&] {
        names.clear();
        QAbstractItemModel* model = view->model();
        for (int row = 0; row < model->rowCount(view->rootIndex()); ++row) {
            names << model->index(row, 0, view->rootIndex()).data().toString();
        }
        names.sort();
        return names.size() == expected;
    };
    (void)QTest::qWaitFor(read, 2000);
    return names;
}

void makeFile(const QString& path, bool executable = false) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("x");
    file.close();
    if (executable) {
        file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
    }
}

} // namespace

class QtDialogControlsTest : public QObject {
    Q_OBJECT

private:
    kadrill::test::NoTimeSetter timeSetter;
    std::unique_ptr<qt::QtPlatform> desk;
    std::unique_ptr<Window> window;
    std::unique_ptr<QTemporaryDir> scratch;

    QString path(const QString& name) const { return scratch->filePath(name); }
    QString folder() const { return scratch->path(); }

private slots:
    void init() {
        scratch = std::make_unique<QTemporaryDir>();
        QVERIFY(scratch->isValid());
        x11::installNativeDesktop(); // as the program does
        desk = std::make_unique<qt::QtPlatform>(timeSetter);
        window = desk->windows.createWindow(
            {.caption = "設定", .clientWidth = 6000, .clientHeight = 4500, .picture = "", .icon = "kadrill"});
    }

    void cleanup() {
        window.reset();
        desk.reset();
        scratch.reset();
    }

    void theFileDialogShowsCaptionsAsWrittenAndListsWhatTheChosenFilterLetsThrough() {
        makeFile(path("a.wav"));
        makeFile(path("b.MID"));
        makeFile(path("c.txt"));
        makeFile(path("prog"), true);
        QVERIFY(QDir(folder()).mkdir(QStringLiteral("sub")));
        const FileDialogOptions options{
            .title = "ｻｳﾝﾄﾞの選択",
            .purpose = "sound",
            .initialPath = path("a.wav").toStdString(),
            .filters = {{.caption = "ｻｳﾝﾄﾞﾌｧｲﾙ (*.wav;*.mid)", .patterns = {"*.wav", "*.mid"}},
                        {.caption = "ﾌﾟﾛｸﾞﾗﾑ", .patterns = {}, .executablesOnly = true},
                        {.caption = "すべてのﾌｧｲﾙ", .patterns = {"*"}},
                        {.caption = "ｱﾗｰﾑ設定ﾌｧｲﾙ ", .patterns = {"*.alm"}}}};
        QStringList captions;
        QString title;
        QStringList byFilter[3];
        DialogWatch watch([&](QFileDialog* dialog) {
            title = dialog->windowTitle();
            auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
            for (int i = 0; i < types->count(); ++i) {
                captions << types->itemText(i);
            }
            byFilter[0] = listed(dialog, 3);
            QTest::keyClick(types, Qt::Key_Down);
            byFilter[1] = listed(dialog, 2);
            QTest::keyClick(types, Qt::Key_Down);
            byFilter[2] = listed(dialog, 5);
            dialog->reject();
        });

        QCOMPARE(desk->fileDialogs.openFileName(options), std::string());
        QCOMPARE(title, QStringLiteral("ｻｳﾝﾄﾞの選択"));
        QCOMPARE(captions, (QStringList{QStringLiteral("ｻｳﾝﾄﾞﾌｧｲﾙ (*.wav;*.mid)"), QStringLiteral("ﾌﾟﾛｸﾞﾗﾑ"),
                                        QStringLiteral("すべてのﾌｧｲﾙ"), QStringLiteral("ｱﾗｰﾑ設定ﾌｧｲﾙ ")}));
        QCOMPARE(byFilter[0], (QStringList{"a.wav", "b.MID", "sub"}));
        QCOMPARE(byFilter[1], (QStringList{"prog", "sub"}));
        QCOMPARE(byFilter[2], (QStringList{"a.wav", "b.MID", "c.txt", "prog", "sub"}));
    }

    void savingOverAFileAsksNothing() {
        makeFile(path("old.alm"));
        DialogWatch watch([&](QFileDialog* dialog) {
            auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            edit->setText(path("old.alm"));
            QTest::keyClick(edit, Qt::Key_Return);
        });
        const std::string chosen = desk->fileDialogs.saveFileName(
            {.title = "設定の保存", .purpose = "settings", .initialPath = folder().toStdString(), .filters = {}});
        QCOMPARE(QString::fromStdString(chosen), path("old.alm"));
        QVERIFY2(!watch.askedInBetween, "the program asks about overwriting, not the dialog");
    }

    void anEmptyLineIsAsTallAsTheOthers() {
        ListBox& list = window->addListBox({.bounds = {300, 300, 3000, 1500}, .tabIndex = 0, .accessibleName = ""});
        list.addItem("月曜");
        list.addItem("");
        list.addItem("水曜");
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(dynamic_cast<qt::QtWindow&>(*window).widget()));
        QListWidget* widget = dynamic_cast<qt::QtListBox&>(list).widget();
        const QRect full = widget->visualItemRect(widget->item(0));
        const QRect empty = widget->visualItemRect(widget->item(1));
        QVERIFY(full.height() > 0);
        QCOMPARE(empty.height(), full.height());
        QCOMPARE(empty.top(), full.bottom() + 1);
    }

    void aDisabledLabelIsGreyedAndAnEnabledOneShowsItsColour() {
        Picture& back = window->addPicture({.bounds = {0, 0, 6000, 4500}, .picture = "", .backColor = 0xFFFFFF});
        Label& label = back.addLabel({.bounds = {300, 300, 3000, 900},
                                      .text = "■■",
                                      .fontName = "ＭＳ Ｐゴシック",
                                      .fontPoints = 36,
                                      .foreColor = rgb(0, 192, 0)});
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(dynamic_cast<qt::QtWindow&>(*window).widget()));
        QWidget* surface = dynamic_cast<qt::QtPicture&>(back).widget();
        auto colours = [surface] {
            const QImage image = surface->grab().toImage();
            int green = 0;
            int other = 0;
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    const QColor c = image.pixelColor(x, y);
                    green += c == QColor(0, 192, 0) ? 1 : 0;
                    other += c != QColor(0, 192, 0) && c != QColor(Qt::white) ? 1 : 0;
                }
            }
            return std::pair{green, other};
        };
        QVERIFY(colours().first > 100);
        label.setEnabled(false);
        const auto [green, grey] = colours();
        QCOMPARE(green, 0);
        QVERIFY(grey > 100);
        label.setEnabled(true);
        QVERIFY(colours().first > 100);
    }

    void theArrowKeysSelectTheNextOptionOfTheGroupAsAClick() {
        OptionButton& first = window->addOptionButton(
            {.bounds = {300, 300, 1500, 300}, .caption = "毎日", .tabIndex = 0, .checked = true});
        OptionButton& second = window->addOptionButton({.bounds = {300, 750, 1500, 300}, .caption = "一回"});
        Frame& frame = window->addFrame({.bounds = {2400, 150, 3000, 1500}, .caption = "音"});
        OptionButton& elsewhere = frame.addOptionButton(
            {.bounds = {150, 300, 1500, 300}, .caption = "鳴らす", .tabIndex = 0, .checked = true});
        int clicks = 0;
        second.clicked.setHandler([&] { ++clicks; });
        window->show();
        window->activate();
        QVERIFY(QTest::qWaitForWindowActive(dynamic_cast<qt::QtWindow&>(*window).widget()));
        first.setFocus();
        QVERIFY(first.hasFocus());

        QTest::keyClick(dynamic_cast<qt::QtOptionButton&>(first).widget(), Qt::Key_Down);
        QVERIFY(second.isChecked());
        QVERIFY(!first.isChecked());
        QVERIFY(second.hasFocus());
        QCOMPARE(clicks, 1);
        QVERIFY(elsewhere.isChecked());
        QTest::keyClick(dynamic_cast<qt::QtOptionButton&>(second).widget(), Qt::Key_Down);
        QVERIFY(second.isChecked()); // the arrows stay within the group
        QVERIFY(elsewhere.isChecked());
    }

    void boxesTakeTheSubstitutedFontAndAllControlsHaveNames() {
        TextBox& box = window->addTextBox({.bounds = {300, 300, 1500, 300},
                                           .text = "",
                                           .fontName = "ＭＳ Ｐゴシック",
                                           .fontPoints = 9,
                                           .accessibleName = "時刻"});
        ListBox& list = window->addListBox({.bounds = {300, 900, 1500, 900}, .accessibleName = "曜日"});
        CommandButton& button = window->addCommandButton({.bounds = {2400, 300, 1200, 375}, .caption = "参照(&B)..."});
        OptionButton& option = window->addOptionButton({.bounds = {2400, 900, 1500, 300}, .caption = "毎日(&D)"});
        QLineEdit* edit = dynamic_cast<qt::QtTextBox&>(box).widget();
        QCOMPARE(QFontInfo(edit->font()).family(), QStringLiteral("IPAPGothic"));
        QCOMPARE(edit->font().pixelSize(), 12);
        auto nameOf = [](QWidget* w) {
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
            return a != nullptr ? a->text(QAccessible::Name) : QString();
        };
        QCOMPARE(nameOf(edit), QStringLiteral("時刻"));
        QCOMPARE(nameOf(dynamic_cast<qt::QtListBox&>(list).widget()), QStringLiteral("曜日"));
        QVERIFY(nameOf(dynamic_cast<qt::QtCommandButton&>(button).widget()).startsWith(QStringLiteral("参照")));
        QVERIFY(nameOf(dynamic_cast<qt::QtOptionButton&>(option).widget()).startsWith(QStringLiteral("毎日")));
    }
};

QTEST_MAIN(QtDialogControlsTest)
#include "QtDialogControlsTest.moc"
