// The console's common helpers: INI access, byte-counted text helpers, combo helpers, messages.
#include "common/ansi.h"
#include "common/combo_helpers.h"
#include "common/ini.h"
#include "common/text_helpers.h"
#include "common/window_layout.h"
#include "testing/recorded_messages.h"
#include "testing/work_folder_scope.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

namespace zelk::console {
namespace {
using namespace Qt::Literals::StringLiterals;

class Ini : public ::testing::Test {
protected:
    void write(const QString& name, const QByteArray& bytes) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QTemporaryDir dir;
    testing::WorkFolderScope workFolder{dir.path()};
};

TEST_F(Ini, MissingKeySectionOrFileReadsEmptyAndNotFound) {
    bool notFound = false;
    EXPECT_EQ(readIni("absent.ini", "S", "K", notFound), "");
    EXPECT_TRUE(notFound);
    write("a.ini", QByteArray("[S]\r\nK=v\r\nSTORED=") + QByteArray::fromStdString(toAnsi("みつからんで!")) +
                       "\r\nJP=" + QByteArray::fromStdString(toAnsi("ピン①")) + "\r\n");
    EXPECT_EQ(readIni("a.ini", "S", "missing", notFound), "");
    EXPECT_TRUE(notFound);
    EXPECT_EQ(readIni("a.ini", "T", "K", notFound), "");
    EXPECT_TRUE(notFound);
    EXPECT_EQ(readIni("a.ini", "S", "STORED", notFound), "") << "the signal text reads as missing";
    EXPECT_TRUE(notFound);
    EXPECT_EQ(readIni("a.ini", "s", "k", notFound), "v");
    EXPECT_FALSE(notFound);
    EXPECT_EQ(readIni("a.ini", "S", "JP"), "ピン①") << "values are code page 932";
}

TEST_F(Ini, LongValuesAreCutTo511Bytes) {
    write("a.ini", "[S]\r\nK=" + QByteArray(600, 'x') + "\r\n");
    EXPECT_EQ(readIni("a.ini", "S", "K").size(), 511);
}

TEST_F(Ini, WritesRoundTripAndFailuresAreReported) {
    bool failed = true;
    writeIni("new.ini", "S", "名前", "値①", failed);
    EXPECT_FALSE(failed);
    EXPECT_EQ(readIni("new.ini", "S", "名前"), "値①");
    writeIni("no/such/dir/new.ini", "S", "K", "v", failed);
    EXPECT_TRUE(failed);
}

TEST(TextHelpers, ToIntAcceptsOnly16BitNumbers) {
    EXPECT_EQ(toInt(""), 0);
    EXPECT_EQ(toInt("40000"), 0);
    EXPECT_EQ(toInt("12"), 12);
    EXPECT_EQ(toInt(" -32768 "), -32768);
    EXPECT_EQ(toInt("2.5"), 2) << "a half goes to the even neighbour";
    EXPECT_EQ(toInt("3.5"), 4);
    EXPECT_EQ(toInt("-0.6"), -1);
    for (const char* bad : {"x", "1e3", "12a", "--1", ".", "0x10", "1 2"})
        EXPECT_EQ(toInt(bad), 0) << bad;
    EXPECT_FALSE(toInt16Strict("").has_value());
    EXPECT_EQ(toInt32Strict("2147483647").value_or(0), 2147483647);
    EXPECT_FALSE(toInt32Strict("2147483648").has_value());
}

TEST(TextHelpers, ZeroPadAndCutAtNul) {
    EXPECT_EQ(zeroPad(7, 2), "07");
    EXPECT_EQ(zeroPad(123, 2), "23");
    EXPECT_EQ(zeroPad(-5, 3), "-05");
    EXPECT_EQ(zeroPad(-5, 0), "");
    EXPECT_EQ(zeroPad(0, 4), "0000");
    EXPECT_EQ(zeroPad(-2147483647 - 1, 12), "");
    EXPECT_EQ(cutAtNul(QString("ab") + QChar(u'\0') + "cd"), "ab");
    EXPECT_EQ(cutAtNul("abc"), "abc");
}

TEST(TextHelpers, CharactersWithoutACodePage932FormAreFoundOnceEach) {
    EXPECT_EQ(charactersWithoutAnsiForm(u"A한é€é"_s), u"한é€"_s);
    EXPECT_EQ(charactersWithoutAnsiForm(u"a😀b"_s), u"😀"_s) << "a surrogate pair is one character";
    EXPECT_EQ(charactersWithoutAnsiForm(u"?ｱ漢～①\u0080"_s), "")
        << "a typed ? and the extension rows are stored";
    EXPECT_EQ(unstorableTextMessage(u"比較値のデータ"_s, u"A한"_s),
              u"比較値のデータにShift-JISで保存できない文字があります(한)"_s);
    EXPECT_FALSE(unstorableTextMessage(u"比較値のデータ"_s, u"漢字"_s));
}

TEST(TextHelpers, PadFieldAndMidBytesCountCodePage932Bytes) {
    EXPECT_EQ(padField("ab", 4), "ab  ");
    EXPECT_EQ(padField("あいう", 4), "あい");
    EXPECT_EQ(padField("あいう", 3), "あ ") << "half a character becomes a blank: still 3 bytes";
    EXPECT_EQ(byteLength(padField("ｱｲｳエオ", 12)), 12);
    EXPECT_EQ(padField("1234567890123", 12), "123456789012");
    EXPECT_EQ(padField("x", 0), "");

    EXPECT_EQ(midBytes("ABCDEF", 3, 2), "CD");
    EXPECT_EQ(midBytes("ABCDEF", 7, 2), "");
    EXPECT_EQ(midBytes("ABCDEF", 5, 9), "EF");
    EXPECT_EQ(midBytes("ABCDEF", 0, 2), "");
    EXPECT_EQ(midBytes("ABCDEF", 1, -1), "");
    EXPECT_EQ(midBytes("aあいb", 3, 3), " い") << "a start on a trail byte gives a blank";
    EXPECT_EQ(midBytes("aあいb", 2, 3), "あ ");
    EXPECT_EQ(midBytes("PIN ,001         ,", 6, 12), "001         ");
}

TEST(ComboHelpers, SelectComboItemMatchesPrefixes) {
    QComboBox list;
    list.addItems({"NONE:なし", "PIN :ピン"});
    EXPECT_EQ(selectComboItem(&list, "PIN ", false), 1);
    EXPECT_EQ(list.currentIndex(), 1);
    EXPECT_EQ(selectComboItem(&list, "XYZ", true), 0) << "no match in a list-only combo";
    EXPECT_EQ(list.currentIndex(), 1) << "the selection stays";
    EXPECT_EQ(selectComboItem(&list, "", false), 0);
    EXPECT_EQ(list.currentIndex(), 0);

    QComboBox data;
    data.setEditable(true);
    data.addItem(QString()); // a null text: still begins with the empty text
    EXPECT_EQ(selectComboItem(&data, QStringLiteral(""), true), 0);
    EXPECT_EQ(data.currentIndex(), 0);
    data.clear();
    data.addItems({"", "STOP->ELEC  :電断->通電", "STOP        :電断", "<=          ", "<           "});
    EXPECT_EQ(selectComboItem(&data, "STOP        ", true), 2);
    EXPECT_EQ(selectComboItem(&data, "<           ", true), 4);
    EXPECT_EQ(selectComboItem(&data, "10F         ", true), 0);
    EXPECT_EQ(data.currentIndex(), -1);
    EXPECT_EQ(data.currentText(), "10F         ") << "trailing spaces kept";
}

TEST_F(Ini, AddVariableItemsListsNamedVariables) {
    write(kLogicFile, QByteArray("[LG_CONTENTS]\r\nVARIABLE_CNT=3\r\n[LG_VAR_DEF]\r\nVAR_NAME_00= count \r\n"
                                 "VAR_NAME_01=   \r\nVAR_NAME_02=") +
                          QByteArray::fromStdString(toAnsi("温度")) + "\r\nVAR_NAME_03=beyond\r\n");
    QComboBox list;
    list.addItem("");
    EXPECT_TRUE(addVariableItems(&list));
    ASSERT_EQ(list.count(), 3);
    EXPECT_EQ(list.itemText(1), "00          :count");
    EXPECT_EQ(list.itemText(2), "02          :温度");

    write(kLogicFile, "[LG_CONTENTS]\r\nVARIABLE_CNT=x\r\n");
    QComboBox none;
    EXPECT_FALSE(addVariableItems(&none));
    EXPECT_EQ(none.count(), 0);
}

// A message box is OK-only, captioned ZELK, in the console's font and centred on the window that raised
// it, also on one not shown yet (a message while a window loads).
TEST(Message, ABoxUsesTheConsoleFontAndOpensOverItsWindow) {
    const MessageHandler recording = setMessageHandler(nullptr);
    QWidget window;
    window.setGeometry(300, 200, 400, 300);
    for (const bool shown : {false, true}) {
        if (shown) window.show();
        bool answered = false;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            answered = true;
            EXPECT_EQ(box->windowTitle(), "ZELK");
            EXPECT_EQ(box->buttons().size(), 1);
            EXPECT_TRUE(box->font() == consoleFont()) << box->font().toString().toStdString();
            EXPECT_LE((box->geometry().center() - window.geometry().center()).manhattanLength(), 2)
                << "window shown: " << shown;
            box->accept();
        });
        showMessage(&window, QStringLiteral("確認"));
        EXPECT_TRUE(answered);
    }
    setMessageHandler(recording);
}

} // namespace
} // namespace zelk::console
