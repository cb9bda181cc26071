// SPDX-License-Identifier: GPL-3.0-or-later
// Two emulated programmers: with the extras shown the Programmer menu lists them
// and the window works with the one picked, kept over a restart; hidden, the
// window is the one-programmer window.
#include "WindowFixture.h"
#include "emulator/EmulatedProgrammer.h"
#include "gui/MenuTexts.h"

using namespace qbr;
using namespace qbr::test;

class ProgrammerPickTest : public QObject {
    Q_OBJECT

    static QList<QAction*> Items(WindowFixture& fixture) {
        QList<QAction*> items;
        for (QAction* action : fixture.window().findChildren<QAction*>()) {
            if (action->objectName().startsWith("programmer ") && action->isVisible()) items << action;
        }
        return items;
    }
    static QString Checked(WindowFixture& fixture) {
        for (QAction* action : Items(fixture)) {
            if (action->isChecked()) return action->text();
        }
        return {};
    }
    static QString LinkText(WindowFixture& fixture) { return fixture.Child<QLabel>("linkText")->text(); }
    // The first byte of the chip, as a Read brings it into the buffer.
    static uint8_t ReadFirstByte(WindowFixture& fixture) {
        fixture.Command(kCmdReadChip)->trigger();
        return fixture.core().Buffer().bytes[0];
    }

private slots:
    void picksAProgrammerAndKeepsThePick() {
        WindowFixture fixture("English", std::string(), {{"Extras", "Shown", "1"}}, 2);
        QCOMPARE(Items(fixture).size(), 2);
        QCOMPARE(Checked(fixture), QString("emulated-1  EMU0000001"));
        QTRY_COMPARE(LinkText(fixture), QString("USB Link OK!  emulated-1"));
        EmulatedProgrammer* first = fixture.window().Emulator();
        first->Chip().Contents()[0] = 0x11;

        Items(fixture)[1]->trigger();
        QCOMPARE(fixture.Status(), QString("Programmer: emulated-2 (EMU0000002)"));
        QCOMPARE(Checked(fixture), QString("emulated-2  EMU0000002"));
        QTRY_COMPARE(LinkText(fixture), QString("USB Link OK!  emulated-2"));
        fixture.window().Emulator()->Chip().Contents()[0] = 0x22;
        QCOMPARE(ReadFirstByte(fixture), 0x22);
        // The first one still holds its chip.
        Items(fixture)[0]->trigger();
        QCOMPARE(fixture.window().Emulator(), first);
        QCOMPARE(ReadFirstByte(fixture), 0x11);

        // Unplugged, the picked one is waited for, not replaced by the other.
        Items(fixture)[1]->trigger();
        EmulatedProgrammer* second = fixture.window().Emulator();
        second->Unplug();
        QTRY_COMPARE(LinkText(fixture), QString("No USB Link!  emulated-2"));
        QCOMPARE(fixture.window().Emulator(), second);
        QCOMPARE(Checked(fixture), QString("emulated-2  EMU0000002"));

        fixture.Restart();
        QCOMPARE(Checked(fixture), QString("emulated-2  EMU0000002"));
        QTRY_COMPARE(LinkText(fixture), QString("USB Link OK!  emulated-2"));

        // Picking waits for a running command to end.
        fixture.window().Emulator()->SetSpeed({8'000'000, std::chrono::microseconds(0)});
        QTimer::singleShot(20, &fixture.window(), [&] { Items(fixture)[0]->trigger(); });
        fixture.Command(kCmdReadChip)->trigger();
        QCOMPARE(fixture.boxes.last(), gui::Text(kMsgProgrammerBusy));
        QCOMPARE(Checked(fixture), QString("emulated-2  EMU0000002"));
    }

    // A programmer whose chip image is refused is refused at the start and says so
    // each time it is picked, and is never worked with, erased, in its place: the window goes on
    // with the first.
    void aRefusedChipImageIsRefusedEachTime() {
        WindowFixture fixture("English", std::string(),
                              {{"Extras", "Shown", "1"}, {"Extras", "Programmer", "EMU0000002"}}, 2);
        WriteFileText(fixture.File("g2.bin"), "short");
        fixture.link().emulatorImage = fixture.File("g%d.bin");
        fixture.Restart();
        QVERIFY(fixture.window().LinkRefused());
        QCOMPARE(Checked(fixture), QString("emulated-1  EMU0000001"));
        QTRY_COMPARE(LinkText(fixture), QString("USB Link OK!  emulated-1"));
        for (int attempt = 0; attempt < 2; ++attempt) {
            Items(fixture)[1]->trigger();
            QVERIFY2(fixture.boxes.last().contains("g2.bin holds 5 bytes"), qPrintable(fixture.boxes.last()));
            QCOMPARE(Checked(fixture), QString("emulated-1  EMU0000001"));
        }
        // The first one's image refused too: the others keep theirs.
        std::filesystem::rename(fixture.File("g2.bin"), fixture.File("g1.bin"));
        WriteFileText(fixture.File("g2.bin"), std::string(1 << 20, '\x5A'));
        WriteConfig("Extras", "Programmer", "EMU0000001");
        fixture.Restart();
        QVERIFY(fixture.window().LinkRefused());
        Items(fixture)[1]->trigger();
        QCOMPARE(ReadFirstByte(fixture), 0x5A);
    }

    void hiddenExtrasListNoProgrammers() {
        WindowFixture fixture("English", std::string(), {}, 2);
        QVERIFY(Items(fixture).isEmpty());
        QTRY_COMPARE(LinkText(fixture), QString("USB Link OK!"));
    }
};

QTEST_MAIN(ProgrammerPickTest)
#include "ProgrammerPickTest.moc"
