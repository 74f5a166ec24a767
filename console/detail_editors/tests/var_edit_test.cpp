// The variable editor: the name rule in code page 932 bytes, what a save writes and where, OK/Apply/Cancel.
#include "common/ansi.h"
#include "common/ini.h"
#include "detail_editors/frm_var_edit.h"
#include "testing/recorded_messages.h"
#include "testing/work_folder_scope.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace zelk::console {
namespace {

using testing::recordedMessages;

class VarEdit : public ::testing::Test {
protected:
    VarEdit() { recordedMessages().clear(); }

    QString path() const { return dir.filePath(kLogicFile); }
    void writeFile(const QString& text) {
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray::fromStdString(toAnsi(text)));
    }
    QByteArray fileBytes() const {
        QFile file(path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QString name(int i) const {
        return readIni(kLogicFile, "LG_VAR_DEF", QStringLiteral("VAR_NAME_0%1").arg(i));
    }

    QTemporaryDir dir;
    testing::WorkFolderScope workFolder{dir.path()};
};

TEST_F(VarEdit, NamesMayTakeTwelveCodePage932Bytes) {
    frmVarEdit form;
    form.txtVarName[0]->setText("変数名前あい");  // 6 double-byte characters: 12 bytes
    form.txtVarName[1]->setText("ABCDEFGHIJKLM"); // the box keeps 12 characters
    form.txtVarName[2]->setText("ｶｳﾝﾀｰｶｳﾝﾀｰｶｳ");  // half-width katakana count 1 each
    form.txtVarName[3]->setText("   ");           // blanks only
    form.txtValue[3]->setText("abc");             // values are not checked
    EXPECT_EQ(form.txtVarName[1]->text(), "ABCDEFGHIJKL");
    form.cmdApply->click();
    EXPECT_TRUE(recordedMessages().isEmpty());
    EXPECT_EQ(name(0), "変数名前あい");
    EXPECT_EQ(name(1), "ABCDEFGHIJKL");
    EXPECT_EQ(name(2), "ｶｳﾝﾀｰｶｳﾝﾀｰｶｳ");
    EXPECT_TRUE(fileBytes().contains("VAR_NAME_03=   \r\n")) << "written as typed, blanks included";
    EXPECT_EQ(readIni(kLogicFile, "LG_VAR_DEF", "VAR_VALUE_03"), "abc");

    // 7 double-byte characters fit the box (12 characters) but not the file; a trailing blank counts too.
    for (const QString& tooLong : {QStringLiteral("変数名前あいう"), QStringLiteral("変数名前あい ")}) {
        recordedMessages().clear();
        const QByteArray before = fileBytes();
        form.txtVarName[3]->setText(tooLong);
        form.cmdApply->click();
        EXPECT_EQ(recordedMessages(), QStringList{"変数03の変数名が12バイトを超えています"});
        EXPECT_EQ(fileBytes(), before) << "nothing is written";
    }

    frmVarEdit reloaded;
    EXPECT_EQ(reloaded.txtVarName[3]->text(), "") << "a name of blanks loads empty";
    EXPECT_EQ(reloaded.txtVarName[0]->text(), "変数名前あい");
}

TEST_F(VarEdit, OnlyTheFirstTooLongRowIsReportedAndNothingIsSaved) {
    writeFile("[LG_CONTENTS]\r\nVARIABLE_CNT=2\r\n");
    const QByteArray before = fileBytes();
    frmVarEdit form;
    form.show();
    form.txtVarName[0]->setText("OK");
    form.txtVarName[2]->setText("あいうえおかき");
    form.txtVarName[5]->setText("かきくけこさし");
    form.cmdOK->click();
    EXPECT_EQ(recordedMessages(), QStringList{"変数02の変数名が12バイトを超えています"});
    EXPECT_EQ(fileBytes(), before);
    EXPECT_TRUE(form.isVisible()) << "the dialog stays open";
    EXPECT_EQ(form.txtVarName[2]->text(), "あいうえおかき") << "input stays as typed";
    EXPECT_EQ(form.txtVarName[0]->text(), "OK");

    form.txtVarName[2]->setText("あい");
    form.txtVarName[5]->setText("かき");
    form.cmdOK->click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(name(5), "かき");
}

TEST_F(VarEdit, CharactersWithoutACodePage932FormAreRefusedInEveryBox) {
    writeFile("[LG_CONTENTS]\r\nVARIABLE_CNT=2\r\n");
    const QByteArray before = fileBytes();
    frmVarEdit form;
    form.show();
    form.txtVarName[1]->setText("OK");
    form.txtVarCmnt[1]->setText(QStringLiteral("温度€"));
    form.txtVarName[4]->setText(QStringLiteral("あいうえおかき")); // too long, but in a later row
    form.cmdApply->click();
    EXPECT_EQ(recordedMessages(), QStringList{"変数01のコメントにShift-JISで保存できない文字があります(€)"});
    EXPECT_EQ(fileBytes(), before) << "nothing is written";

    form.txtVarCmnt[1]->setText(QStringLiteral("温度"));
    form.txtValue[3]->setText(QStringLiteral("1é"));
    form.txtVarName[4]->setText("T");
    recordedMessages().clear();
    form.cmdApply->click();
    EXPECT_EQ(recordedMessages(), QStringList{"変数03の初期値にShift-JISで保存できない文字があります(é)"});

    form.txtValue[3]->setText("1");
    form.txtVarName[5]->setText(QStringLiteral("한"));
    recordedMessages().clear();
    form.cmdOK->click();
    EXPECT_EQ(recordedMessages(), QStringList{"変数05の変数名にShift-JISで保存できない文字があります(한)"});
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(fileBytes(), before);
}

TEST_F(VarEdit, ApplyThenCancelKeepsTheAppliedTable) {
    frmVarEdit form;
    form.show();
    form.txtVarName[1]->setText(" COUNT ");
    form.txtValue[1]->setText("10");
    form.txtVarCmnt[1]->setText("回数");
    form.cmdApply->click();
    EXPECT_TRUE(form.isVisible()) << "Apply keeps the dialog open";
    form.txtVarName[1]->setText("LOST");
    form.cmdCancel->click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Rejected);
    EXPECT_EQ(name(1), "COUNT");

    // The next opening reads the file afresh: trimmed names, the unsaved text gone.
    form.show();
    EXPECT_EQ(form.txtVarName[1]->text(), "COUNT");
    EXPECT_EQ(form.txtValue[1]->text(), "10");
    EXPECT_EQ(form.txtVarCmnt[1]->text(), "回数");

    // Closing by the close box writes nothing either.
    const QByteArray before = fileBytes();
    form.txtVarName[1]->setText("ALSO LOST");
    form.close();
    EXPECT_EQ(fileBytes(), before);
}

TEST_F(VarEdit, SaveUpdatesKeysInPlaceAndAppendsNewKeysInWriteOrder) {
    writeFile("; logic program\r\n"
              "[LG_CONTENTS]\r\n"
              "LG_MAIN_CNT=1\r\n"
              "VARIABLE_CNT=3\r\n"
              "\r\n"
              "[LG_VAR_DEF]\r\n"
              "VAR_TYPE_00=LONG\r\n"
              "VAR_NAME_00=旧名\r\n"
              "VAR_VALUE_01=5\r\n"
              "\r\n"
              "[LG_MAIN]\r\n"
              "LG_COMP_0000=NEW ,            ,\r\n"
              "\r\n"
              "[LOG_CSV]\r\n"
              "CSV_FNAME=ログ.csv\r\n");
    frmVarEdit form;
    EXPECT_EQ(form.txtVarName[0]->text(), "旧名");
    EXPECT_EQ(form.txtValue[1]->text(), "5");
    form.txtVarName[0]->setText("カウンタ");
    form.txtValue[0]->setText("-12");
    form.txtVarCmnt[0]->setText("計数 ");
    form.txtVarName[1]->setText("TOTAL");
    form.txtVarCmnt[7]->setText("最後");
    form.cmdOK->click();

    const QString golden = "; logic program\r\n"
                           "[LG_CONTENTS]\r\n"
                           "LG_MAIN_CNT=1\r\n"
                           "VARIABLE_CNT=8\r\n"
                           "\r\n"
                           "[LG_VAR_DEF]\r\n"
                           "VAR_TYPE_00=LONG\r\n"
                           "VAR_NAME_00=カウンタ\r\n"
                           "VAR_VALUE_01=5\r\n"
                           "VAR_VALUE_00=-12\r\n"
                           "VAR_COMMENT_00=計数 \r\n"
                           "VAR_NAME_01=TOTAL\r\n"
                           "VAR_COMMENT_01=\r\n"
                           "VAR_TYPE_01=LONG\r\n"
                           "VAR_NAME_02=\r\nVAR_VALUE_02=\r\nVAR_COMMENT_02=\r\nVAR_TYPE_02=LONG\r\n"
                           "VAR_NAME_03=\r\nVAR_VALUE_03=\r\nVAR_COMMENT_03=\r\nVAR_TYPE_03=LONG\r\n"
                           "VAR_NAME_04=\r\nVAR_VALUE_04=\r\nVAR_COMMENT_04=\r\nVAR_TYPE_04=LONG\r\n"
                           "VAR_NAME_05=\r\nVAR_VALUE_05=\r\nVAR_COMMENT_05=\r\nVAR_TYPE_05=LONG\r\n"
                           "VAR_NAME_06=\r\nVAR_VALUE_06=\r\nVAR_COMMENT_06=\r\nVAR_TYPE_06=LONG\r\n"
                           "VAR_NAME_07=\r\nVAR_VALUE_07=\r\nVAR_COMMENT_07=最後\r\nVAR_TYPE_07=LONG\r\n"
                           "\r\n"
                           "[LG_MAIN]\r\n"
                           "LG_COMP_0000=NEW ,            ,\r\n"
                           "\r\n"
                           "[LOG_CSV]\r\n"
                           "CSV_FNAME=ログ.csv\r\n";
    const QByteArray bytes = fileBytes();
    EXPECT_EQ(bytes, QByteArray::fromStdString(toAnsi(golden)));
    EXPECT_TRUE(bytes.contains("VAR_NAME_00=\x83\x4A\x83\x45\x83\x93\x83\x5E\r\n"))
        << "カウンタ in code page 932";
}

// The limits hold what is typed: a longer stored text is shown whole, checked and saved as it was.
TEST_F(VarEdit, StoredTextsLongerThanTheInputLimitsAreNotCut) {
    const QString comment =
        QStringLiteral("ポート０の入力が変わった回数を数える変数です（初期値は大きめに）");
    writeFile("[LG_CONTENTS]\r\nVARIABLE_CNT=8\r\n[LG_VAR_DEF]\r\nVAR_NAME_00=ABCDEFGHIJKLM\r\n"
              "VAR_VALUE_01=123456789\r\nVAR_COMMENT_01=" +
              comment + "\r\n");
    frmVarEdit form;
    EXPECT_EQ(form.txtVarName[0]->text(), "ABCDEFGHIJKLM");
    EXPECT_EQ(form.txtValue[1]->text(), "123456789");
    EXPECT_EQ(form.txtVarCmnt[1]->text(), comment);
    form.cmdOK->click();
    EXPECT_EQ(recordedMessages(), QStringList{"変数00の変数名が12バイトを超えています"});

    form.txtVarName[0]->setText("SHORT");
    form.cmdOK->click();
    EXPECT_EQ(readIni(kLogicFile, "LG_VAR_DEF", "VAR_VALUE_01"), "123456789");
    EXPECT_EQ(readIni(kLogicFile, "LG_VAR_DEF", "VAR_COMMENT_01"), comment);

    form.show(); // a new load: boxes holding short texts take their limits again
    EXPECT_EQ(form.txtVarName[0]->maxLength(), 12);
    EXPECT_EQ(form.txtValue[0]->maxLength(), 8);
    EXPECT_EQ(form.txtVarCmnt[0]->maxLength(), 32);
}

TEST_F(VarEdit, AFailedSaveIsReportedAndKeepsTheDialogOpen) {
    ASSERT_TRUE(QDir(dir.path()).mkdir(kLogicFile)); // a folder in the file's place: no write can succeed
    frmVarEdit form;
    form.show();
    form.txtVarName[0]->setText("COUNT");
    form.cmdOK->click();
    EXPECT_EQ(recordedMessages(), QStringList{QDir::toNativeSeparators(path()) + " に保存できませんでした"});
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.txtVarName[0]->text(), "COUNT");
}

// A table saved as UTF-16 reads as empty boxes: the editor says so and does not save into it.
TEST_F(VarEdit, AUtf16FileIsNamedAndNotSavedInto) {
    QByteArray bytes("\xFF\xFE");
    for (const char c : QByteArray("[LG_CONTENTS]\r\nVARIABLE_CNT=8\r\n[LG_VAR_DEF]\r\nVAR_NAME_00=A\r\n"))
        bytes.append(c).append('\0');
    {
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    frmVarEdit form;
    form.show();
    ASSERT_EQ(recordedMessages().size(), 1) << "named at opening";
    EXPECT_TRUE(recordedMessages().front().startsWith(QDir::toNativeSeparators(path())));
    form.txtVarName[1]->setText("B");
    form.cmdOK->click();
    EXPECT_EQ(recordedMessages().size(), 2) << "and at the save";
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(fileBytes(), bytes) << "nothing is written";
}

// Lines that end in a lone CR (a file from an old editor, or one cut short) read and write like CRLF lines.
TEST_F(VarEdit, ACarriageReturnOnlyFileRoundTrips) {
    writeFile(
        "[LG_CONTENTS]\rVARIABLE_CNT=8\rLG_MAIN_CNT=0\r[LG_VAR_DEF]\rVAR_NAME_00=旧名\rVAR_VALUE_00=1\r");
    frmVarEdit form;
    EXPECT_EQ(form.txtVarName[0]->text(), "旧名");
    form.txtVarName[0]->setText("新名");
    form.txtValue[1]->setText("7");
    form.cmdOK->click();
    EXPECT_TRUE(recordedMessages().isEmpty()) << recordedMessages().join('\n').toStdString();
    frmVarEdit reopened;
    EXPECT_EQ(reopened.txtVarName[0]->text(), "新名");
    EXPECT_EQ(reopened.txtValue[0]->text(), "1");
    EXPECT_EQ(reopened.txtValue[1]->text(), "7");
    EXPECT_EQ(readIni(kLogicFile, "LG_CONTENTS", "LG_MAIN_CNT"), "0");
}

TEST_F(VarEdit, SavingIntoNoFileWritesTheWholeTableInOrder) {
    frmVarEdit form;
    form.cmdOK->click();
    QString expected = "[LG_CONTENTS]\r\nVARIABLE_CNT=8\r\n[LG_VAR_DEF]\r\n";
    for (int i = 0; i < 8; ++i)
        expected +=
            QStringLiteral("VAR_NAME_0%1=\r\nVAR_VALUE_0%1=\r\nVAR_COMMENT_0%1=\r\nVAR_TYPE_0%1=LONG\r\n")
                .arg(i);
    EXPECT_EQ(fileBytes(), expected.toLatin1());
}

} // namespace
} // namespace zelk::console
