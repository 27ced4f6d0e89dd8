// The communication settings dialog: what it lists, what it loads, and what
// a save writes, refuses or leaves alone.
#include "ui/SetCommfrm.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "station/Config.h"
#include "core/GbkText.h"
#include "station/GlobVar.h"
#include "core/IniFile.h"
#include "support/RecordingNotifier.h"
#include "support/TempDir.h"

namespace rig {
namespace {

class SetCommTest : public ::testing::Test {
 public:
  void SetUp() override {
    shared.ExeDir = dir.Path();
    shared.ConfigPath = dir.File(QStringLiteral("Config.ini"));
    LoadConfig(shared);
  }
  void Open(QStringList ports = {QStringLiteral("ttyUSB0"), QStringLiteral("ttyS0"), QStringLiteral("ttyUSB0")}) {
    dialog = std::make_unique<TfrmSetComm>(shared, notifier, nullptr, [ports] { return ports; });
    dialog->show();
  }
  template <class T>
  T* Find(const char* name) {
    T* w = dialog->findChild<T*>(QLatin1String(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  QComboBox* Combo(const char* name) { return Find<QComboBox>(name); }
  QStringList Items(const char* name) {
    QStringList items;
    for (int i = 0; i < Combo(name)->count(); ++i) items << Combo(name)->itemText(i);
    return items;
  }
  void Save() { Find<QPushButton>("BitBtn1")->click(); }
  QString Ini(const char* key) {
    return TIniFile(shared.ConfigPath).ReadString(QStringLiteral("Config"), QLatin1String(key), QStringLiteral("<none>"));
  }

  rigtest::TempDir dir;
  GlobVar shared;
  rigtest::RecordingNotifier notifier;
  std::unique_ptr<TfrmSetComm> dialog;
};

TEST_F(SetCommTest, ShowsItsListsAndStationOnesSettings) {
  shared.Station(1)->Config = {QStringLiteral("ttyACM3"), 7, 2, 4, 115200};
  Open();
  EXPECT_EQ(dialog->windowTitle(), QStringLiteral("通讯设置"));
  EXPECT_EQ(dialog->size(), QSize(255, 286));  // the lab and alert settings buttons below
  EXPECT_EQ(Items("CBox_WorkArea"), (QStringList{"工位1", "工位2"}));
  EXPECT_EQ(Items("CombComm"), (QStringList{"ttyUSB0", "ttyS0", "ttyUSB0"})) << "as enumerated, duplicates kept";
  EXPECT_EQ(Items("Edt_StopNum"), (QStringList{"1", "1.5", "2"}));
  EXPECT_EQ(Items("CBx_Mark"), (QStringList{"None", "Odd", "Even", "Mark", "Space"}));
  EXPECT_EQ(Items("CombBaud"),
            (QStringList{"300", "600", "1200", "2400", "9600", "28800", "57600", "115200", "230400"}));
  EXPECT_FALSE(Combo("CBox_WorkArea")->isEditable());
  EXPECT_FALSE(Combo("Edt_StopNum")->isEditable());
  EXPECT_TRUE(Combo("CombComm")->isEditable());

  EXPECT_EQ(Combo("CBox_WorkArea")->currentText(), QStringLiteral("工位1"));
  EXPECT_EQ(Combo("CombComm")->currentText(), QStringLiteral("ttyACM3")) << "kept though not listed";
  EXPECT_EQ(Find<QLineEdit>("Edt_DataNum")->text(), QStringLiteral("7"));
  EXPECT_EQ(Combo("Edt_StopNum")->currentText(), QStringLiteral("2"));
  EXPECT_EQ(Combo("CBx_Mark")->currentText(), QStringLiteral("Space"));
  EXPECT_EQ(Combo("CombBaud")->currentText(), QStringLiteral("115200"));
  EXPECT_EQ(Find<QPushButton>("BitBtn1")->geometry(), QRect(40, 207, 75, 25));
  EXPECT_EQ(Find<QPushButton>("BitBtn2")->geometry(), QRect(136, 207, 75, 25));
}

TEST_F(SetCommTest, IndexesOutsideTheListsChooseNothing) {
  shared.Station(2)->Config = {QStringLiteral("COM2"), 8, 3, -1, 19200};
  Open();
  Combo("CBox_WorkArea")->setCurrentIndex(1);
  EXPECT_EQ(Combo("Edt_StopNum")->currentIndex(), -1);
  EXPECT_EQ(Combo("CBx_Mark")->currentIndex(), -1);
  EXPECT_EQ(Combo("CombBaud")->currentIndex(), -1);
  EXPECT_EQ(Combo("CombBaud")->currentText(), QString()) << "19200 is not offered";
}

TEST_F(SetCommTest, SavingWritesTheStationsFiveKeysAndConfirms) {
  Open();
  Combo("CombComm")->setEditText(QStringLiteral("COM12"));
  Find<QLineEdit>("Edt_DataNum")->setText(QStringLiteral("7"));
  Combo("Edt_StopNum")->setCurrentIndex(1);
  Combo("CBx_Mark")->setCurrentIndex(2);
  Combo("CombBaud")->setCurrentIndex(8);
  Save();
  EXPECT_EQ(notifier.Texts(), QStringList{QStringLiteral("保存成功！")});
  EXPECT_FALSE(notifier.notices[0].error);
  const StationConfig& c = shared.Station(1)->Config;
  EXPECT_EQ(c.PortName, QStringLiteral("COM12"));
  EXPECT_EQ(c.DataBits, 7);
  EXPECT_EQ(c.StopBitsIndex, 1);
  EXPECT_EQ(c.ParityIndex, 2);
  EXPECT_EQ(c.BaudRate, 230400);
  EXPECT_EQ(Ini("ComName1"), QStringLiteral("COM12"));
  EXPECT_EQ(Ini("DataNum1"), QStringLiteral("7"));
  EXPECT_EQ(Ini("StopNum1"), QStringLiteral("1"));
  EXPECT_EQ(Ini("Mark1"), QStringLiteral("2"));
  EXPECT_EQ(Ini("Baud1"), QStringLiteral("230400"));
  EXPECT_EQ(Ini("ComName2"), QStringLiteral("<none>")) << "station 2 untouched";
  EXPECT_TRUE(dialog->isVisible()) << "the dialog stays open";
}

TEST_F(SetCommTest, StationTwoUnchangedSaveRewritesOnlyItsKeys) {
  dir.Write(QStringLiteral("Config.ini"), ToGbk(QStringLiteral("[Config]\r\nComName1=ttyS9\r\nWorkName1=张三\r\n")));
  LoadConfig(shared);
  Open();
  Combo("CBox_WorkArea")->setCurrentIndex(1);
  EXPECT_EQ(Combo("CombComm")->currentText(), QStringLiteral("COM2"));
  Save();
  EXPECT_EQ(notifier.Texts(), QStringList{QStringLiteral("保存成功！")});
  EXPECT_EQ(Ini("ComName2"), QStringLiteral("COM2"));
  EXPECT_EQ(Ini("Baud2"), QStringLiteral("9600"));
  EXPECT_EQ(Ini("ComName1"), QStringLiteral("ttyS9"));
  EXPECT_EQ(Ini("WorkName1"), QStringLiteral("张三"));
  EXPECT_EQ(Ini("DataNum1"), QStringLiteral("<none>"));
}

// A refused save changes neither the file nor what the ports will be
// reopened with.
TEST_F(SetCommTest, RefusedSavesReportTheIntegerErrorAndChangeNothing) {
  struct {
    const char* what;
    std::function<void(SetCommTest&)> edit;
    const char* message;
  } cases[] = {
      {"data bits not a number",
       [](SetCommTest& t) { t.Find<QLineEdit>("Edt_DataNum")->setText(QStringLiteral("8a")); },
       "'8a' is not a valid integer value"},
      {"stored rate not offered",
       [](SetCommTest& t) {
         t.shared.Station(1)->Config.BaudRate = 19200;
         t.dialog->LoadStationComm();
       },
       "'' is not a valid integer value"},
      {"rate typed in",
       [](SetCommTest& t) {
         QTest::keyClicks(t.Combo("CombBaud")->lineEdit(), QStringLiteral("4800"));
       },
       "'' is not a valid integer value"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    QFile::remove(shared.ConfigPath);
    shared.Station(1)->Config = StationConfig{QStringLiteral("COM1"), 8, 0, 0, 9600};
    notifier.notices.clear();
    Open();
    c.edit(*this);
    const StationConfig before = shared.Station(1)->Config;
    Combo("CombComm")->setEditText(QStringLiteral("ttyUSB5"));
    Combo("Edt_StopNum")->setCurrentIndex(2);
    Save();
    ASSERT_EQ(notifier.notices.size(), 1u);
    EXPECT_TRUE(notifier.notices[0].error);
    EXPECT_EQ(notifier.notices[0].text, QString::fromUtf8(c.message));
    EXPECT_FALSE(QFile::exists(shared.ConfigPath));
    const StationConfig& after = shared.Station(1)->Config;
    EXPECT_EQ(after.PortName, before.PortName);
    EXPECT_EQ(after.StopBitsIndex, before.StopBitsIndex);
    EXPECT_EQ(after.BaudRate, before.BaudRate);
  }
}

TEST_F(SetCommTest, ChoosingARateAfterTypingSavesTheChosenRate) {
  Open();
  QTest::keyClicks(Combo("CombBaud")->lineEdit(), QStringLiteral("1"));
  Combo("CombBaud")->setCurrentIndex(2);
  emit Combo("CombBaud")->activated(2);
  Save();
  EXPECT_EQ(Ini("Baud1"), QStringLiteral("1200"));
}

TEST_F(SetCommTest, AnUnwritableConfigShowsTheFileErrorAndNoConfirmation) {
  shared.ConfigPath = dir.File(QStringLiteral("no-such-folder/Config.ini"));
  Open();
  Save();
  ASSERT_EQ(notifier.notices.size(), 1u);
  EXPECT_TRUE(notifier.notices[0].error);
  EXPECT_EQ(notifier.notices[0].text, QStringLiteral("Unable to write to ") + shared.ConfigPath);
}

TEST_F(SetCommTest, SwitchingStationsDiscardsUnsavedChanges) {
  Open();
  Combo("CombComm")->setEditText(QStringLiteral("ttyUSB9"));
  Combo("CBox_WorkArea")->setCurrentIndex(1);
  Combo("CBox_WorkArea")->setCurrentIndex(0);
  EXPECT_EQ(Combo("CombComm")->currentText(), QStringLiteral("COM1"));
  EXPECT_EQ(shared.Station(1)->Config.PortName, QStringLiteral("COM1"));
}

}  // namespace
}  // namespace rig
