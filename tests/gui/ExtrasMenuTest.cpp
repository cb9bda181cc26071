// SPDX-License-Identifier: GPL-3.0-or-later
// The window's extra items: hidden unless switched on, then shown at the end of
// their popups, relabelled with the language, their options kept in config.ini;
// the backup before a change and Read Twice on the emulated programmer.
#include "WindowFixture.h"
#include "buffer/ChangeMarks.h"
#include "emulator/EmulatedProgrammer.h"
#include "gui/ExtraCommands.h"
#include "gui/MenuTexts.h"

using namespace qbr;
using namespace qbr::test;

class ExtrasMenuTest : public QObject {
    Q_OBJECT

    // A popup's visible items as the user sees them: texts, "-" for a separator.
    static QStringList Visible(WindowFixture& fixture, MenuPopup popup) {
        QStringList items;
        QMenu* menu = fixture.window().menuBar()->actions()[static_cast<int>(popup)]->menu();
        for (QAction* action : menu->actions()) {
            if (action->isVisible()) items << (action->isSeparator() ? QString("-") : action->text());
        }
        return items;
    }
    // The popup as the command table describes it, with the extras' rows after a separator when shown.
    static QStringList Expected(MenuPopup popup, TextLanguage language, bool extras) {
        QStringList items;
        int group = -1;
        for (const CommandRow& row : CommandTable()) {
            if (row.popup != popup) continue;
            if (group != -1 && row.group != group) items << "-";
            group = row.group;
            items << QString::fromUtf8(row.menu.In(language));
        }
        bool separated = false;
        for (const gui::ExtraCommandRow& row : gui::ExtraCommandTable()) {
            if (!extras || row.popup != popup) continue;
            if (!separated) items << "-";
            separated = true;
            items << QString::fromUtf8(row.menu.In(language));
        }
        return items;
    }
    static void ComparePopups(WindowFixture& fixture, TextLanguage language, bool extras) {
        for (const gui::MenuPopupTitle& title : gui::kMenuPopupTitles) {
            QCOMPARE(Visible(fixture, title.popup), Expected(title.popup, language, extras));
        }
    }

    QList<QUrl> openedUrls_;

public slots:
    void OpenUrl(const QUrl& url) { openedUrls_ << url; }

private slots:
    void hiddenUnlessSwitchedOnThenShownInBothLanguages() {
        for (const auto& [language, setting] :
             {std::pair{TextLanguage::English, "English"}, std::pair{TextLanguage::Chinese, "SimpleChinese"}}) {
            WindowFixture off(setting);
            ComparePopups(off, language, false);
            WindowFixture on(setting, std::string(), {{"Extras", "Shown", "1"}});
            ComparePopups(on, language, true);
        }
        // A key that isn't "1" keeps them hidden.
        WindowFixture other("English", std::string(), {{"Extras", "Shown", "yes"}});
        ComparePopups(other, TextLanguage::English, false);

        // Shown, they relabel with the language.
        WindowFixture fixture("English", std::string(), {{"Extras", "Shown", "1"}});
        fixture.Command(kCmdChinese)->trigger();
        ComparePopups(fixture, TextLanguage::Chinese, true);
    }

    void optionsAreKeptAndExtrasHideAgain() {
        {
            WindowFixture fixture("English", std::string(), {{"Extras", "Shown", "1"}});
            QAction* readTwice = fixture.Command(gui::kExtraReadTwice);
            QVERIFY(readTwice->isCheckable() && !readTwice->isChecked());
            readTwice->trigger();
            QVERIFY(readTwice->isChecked());
            QCOMPARE(ReadConfig("Extras", "ReadTwice"), std::string("1"));

            // The folder is made when it isn't there yet, and opened.
            QDesktopServices::setUrlHandler("file", this, "OpenUrl");
            fixture.Command(gui::kExtraOpenBackups)->trigger();
            QDesktopServices::unsetUrlHandler("file");
            const std::string folder = fixture.File("backups/");
            QVERIFY(std::filesystem::is_directory(folder));
            QCOMPARE(openedUrls_, QList<QUrl>{QUrl::fromLocalFile(QString::fromStdString(folder))});
            // One that can't be made is said, not opened.
            std::filesystem::remove(fixture.File("backups"));
            WriteFileText(fixture.File("backups"), "");
            fixture.Command(gui::kExtraOpenBackups)->trigger();
            QVERIFY2(fixture.boxes.last().startsWith("Can't make the folder"), qPrintable(fixture.boxes.last()));

            // Help > Extras, checked while they show, hides them all (its own item too).
            QAction* extras = fixture.Command(gui::kExtraShown);
            QVERIFY(extras->isChecked());
            extras->trigger();
            ComparePopups(fixture, TextLanguage::English, false);
            QCOMPARE(ReadConfig("Extras", "Shown"), std::string("0"));
        }
        // Another start keeps the option's check.
        WindowFixture again("English", std::string(), {{"Extras", "Shown", "1"}, {"Extras", "ReadTwice", "1"}});
        QVERIFY(again.Command(gui::kExtraReadTwice)->isChecked());
        QVERIFY(!again.Command(gui::kExtraBackUpFirst)->isChecked());
    }

    // One bar rises once over backup and write; the saved copy is named in the log
    // and the status line. Reads that differ stop an erase before it reaches the
    // chip, and a Read Twice leaves the buffer and its marks as they were.
    void backupAndReadTwiceGuardTheChip() {
        WindowFixture fixture("English", std::string(),
                              {{"Extras", "Shown", "1"},
                               {"Extras", "BackupBeforeChange", "1"},
                               {"Extras", "ReadTwice", "1"}});
        EmulatedProgrammer& programmer = *fixture.window().Emulator();
        DataBuffer& buffer = fixture.core().Buffer();
        programmer.Chip().Contents()[5] = 0x12;
        buffer.bytes[0x10] = 0x00;
        QList<int> bar;
        connect(fixture.Child<QProgressBar>("progressBar"), &QProgressBar::valueChanged, this,
                [&bar](int value) { bar << value; });
        fixture.Command(kCmdWriteChip)->trigger();
        // Three equal shares: the two reads and the write.
        QVERIFY(std::is_sorted(bar.begin(), bar.end()) && bar.contains(33) && bar.contains(66) && bar.last() == 100);
        const auto backups = std::filesystem::directory_iterator(fixture.File("backups"));
        const std::string saved = backups->path().string();
        QCOMPARE(ReadFileText(saved).at(5), '\x12');
        QVERIFY(fixture.Log().find("Backup saved: " + saved) != std::string::npos);
        QVERIFY2(fixture.Status().endsWith("   Backup: " + QString::fromStdString(backups->path().filename().string())),
                 qPrintable(fixture.Status()));
        QCOMPARE(programmer.Chip().Contents()[0x10], 0x00);

        programmer.InjectFault({FaultKind::FlipByte, 0x10});
        fixture.Command(kCmdEraseChip)->trigger();
        QVERIFY(fixture.boxes.last().contains("0x000010..0x000010  (1)"));
        QCOMPARE(programmer.Chip().Contents()[0x10], 0x00);

        buffer.bytes[0x20] = 0x33;
        SetMark(buffer, 0x20);
        fixture.Command(kCmdReadChip)->trigger();
        QVERIFY(fixture.Status().startsWith("The two reads differ: the contact of the chip is unreliable"));
        QVERIFY(fixture.boxes.last().contains("0x000010..0x000010  (1)"));
        QVERIFY(buffer.bytes[0x20] == 0x33 && IsMarked(buffer, 0x20));
    }
};

QTEST_MAIN(ExtrasMenuTest)
#include "ExtrasMenuTest.moc"
