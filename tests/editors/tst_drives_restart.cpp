// SPDX-License-Identifier: GPL-3.0-or-later
#include "EditorsHarness.h"
#include "editors/frmDrives.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTest>

using namespace tavimor;
using namespace Qt::StringLiterals;
using namespace tavimor::test;

namespace {
const QString kExplorer = QLatin1String(kPolicies) + u"\\Explorer"_s;
const QString kNoDrives = u"NoDrives"_s;
} // namespace

class TestDrives : public QObject {
    Q_OBJECT

    static QCheckBox* box(QWidget* d, int i) { return d->findChild<QCheckBox*>(u"Check1_%1"_s.arg(i)); }
    static QPushButton* button(QWidget* d, const char* name) {
        return d->findChild<QPushButton*>(QLatin1String(name));
    }
    static quint32 ticked(QWidget* d) {
        quint32 mask = 0;
        for (int i = 0; i < 26; ++i)
            mask |= box(d, i)->isChecked() ? 1u << i : 0u;
        return mask;
    }

private slots:
    void boxesShowTheStoredMask_data() {
        QTest::addColumn<std::optional<RegValue>>("stored");
        QTest::addColumn<quint32>("shown");
        QTest::newRow("missing") << std::optional<RegValue>() << 0u;
        QTest::newRow("C: only") << std::optional<RegValue>(regDword(4)) << 4u;
        QTest::newRow("all") << std::optional<RegValue>(regDword(0x3FFFFFF)) << 0x3FFFFFFu;
        QTest::newRow("high bits") << std::optional<RegValue>(regDword(0xFC000005)) << 5u;
    }
    void boxesShowTheStoredMask() {
        QFETCH(std::optional<RegValue>, stored);
        QFETCH(quint32, shown);
        EditorsHarness h;
        if (stored)
            h.backend.putValue(kExplorer, kNoDrives, *stored);
        frmDrives d(h.context);
        d.show();
        QCOMPARE(ticked(&d), shown);
        QCOMPARE(box(&d, 25)->text(), u"Z:"_s);
        QVERIFY(!button(&d, "cmdApply")->isEnabled());
        QVERIFY(button(&d, "cmdOK")->isDefault());
        // OK writes even unchanged, only the low 26 bits, always as a DWORD.
        QTest::mouseClick(button(&d, "cmdOK"), Qt::LeftButton);
        QVERIFY(!d.isVisible());
        QCOMPARE(h.dword(kExplorer, kNoDrives), std::optional<quint32>(shown));
    }

    void applyWritesTheTickedLettersAndStays() {
        EditorsHarness h;
        frmDrives d(h.context);
        d.show();
        QTest::mouseClick(box(&d, 0), Qt::LeftButton);
        QTest::mouseClick(box(&d, 25), Qt::LeftButton);
        QVERIFY(button(&d, "cmdApply")->isEnabled());
        QTest::mouseClick(button(&d, "cmdApply"), Qt::LeftButton);
        QCOMPARE(h.dword(kExplorer, kNoDrives), std::optional<quint32>(0x2000001));
        QVERIFY(d.isVisible());
        QVERIFY(!button(&d, "cmdApply")->isEnabled());
        QVERIFY(!h.context.restartNeeded);
    }

    void cancelEscapeAndTheCloseBoxWriteNothing() {
        EditorsHarness h;
        h.backend.putValue(kExplorer, kNoDrives, regDword(4));
        const int writes = h.backend.writeCount();
        for (int way = 0; way < 3; ++way) {
            frmDrives d(h.context);
            d.show();
            QTest::mouseClick(box(&d, 3), Qt::LeftButton);
            if (way == 0)
                QTest::mouseClick(button(&d, "cmdCancel"), Qt::LeftButton);
            else if (way == 1)
                QTest::keyClick(&d, Qt::Key_Escape);
            else
                d.close();
            QVERIFY(!d.isVisible());
        }
        QCOMPARE(h.backend.writeCount(), writes);
        QCOMPARE(h.dword(kExplorer, kNoDrives), std::optional<quint32>(4));
    }
};

QTEST_MAIN(TestDrives)
#include "tst_drives.moc"
