// The main window as the operator sees it: names, captions, places, what is
// enabled, what follows a click, and what survives a restart.
#include "ui/Mainfrm.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QPushButton>
#include <QTableWidget>

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QRawFont>
#include <QTest>
#include <QTimer>

#include "core/GbkText.h"
#include "support/QuietPorts.h"
#include "support/RecordingNotifier.h"
#include "support/TempDir.h"
#include "ui/Edit.h"
#include "ui/Shape.h"
#include "ui/StationPanel.h"
#include "ui/UiTestSupport.h"

namespace rig {
namespace {

class MainWindowTest : public ::testing::Test {
 protected:
  void Open() {
    ports = std::make_unique<rigtest::QuietPorts>(dir.Path());
    auto n = std::make_unique<rigtest::RecordingNotifier>();
    notifier = n.get();
    window = std::make_unique<TfrmHX4417>(dir.Path(), std::move(n));
    window->show();
  }
  void OpenActive() {
    Open();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  }
  void Unlock() {
    window->SetStationControlsEnabled(1, true);
    window->SetStationControlsEnabled(2, true);
  }

  template <class T = QWidget>
  T* Find(const QString& name) {
    T* w = window->findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name.toStdString();
    return w;
  }
  QString TextOf(const QString& name) {
    QObject* o = window->findChild<QObject*>(name);
    if (auto* l = qobject_cast<QLabel*>(o)) return l->text();
    if (auto* b = qobject_cast<QAbstractButton*>(o)) return b->text();
    if (auto* g = qobject_cast<QGroupBox*>(o)) return g->title();
    if (auto* e = qobject_cast<QLineEdit*>(o)) return e->text();
    ADD_FAILURE() << "no control " << name.toStdString();
    return QString();
  }
  // Visible as far as the window goes (the window itself is offscreen).
  bool Shown(const QString& name) { return Find(name)->isVisibleTo(window.get()); }

  rigtest::TempDir dir;
  std::unique_ptr<rigtest::QuietPorts> ports;
  rigtest::RecordingNotifier* notifier = nullptr;
  std::unique_ptr<TfrmHX4417> window;
};

TEST_F(MainWindowTest, EveryControlOfBothStationsCarriesItsDesignCaption) {
  Open();
  EXPECT_EQ(window->windowTitle(), QStringLiteral("高压开关机械寿命磨合试验系统V1p3"));
  // {station 1 name, station 2 name, caption}; a null station 2 name: see below.
  const struct {
    const char* s1;
    const char* s2;
    const char* caption;
  } rows[] = {
      {"GroupBox1", nullptr, "工位1"},
      {"GroupBox4", nullptr, "工位2"},
      {"GroupBox2", "GroupBox5", "磨合参数"},
      {"GroupBox3", "GroupBox6", ""},
      {"SpeedButton1", nullptr, "开启工位1"},
      {"SpeedButton2", nullptr, "开启工位2"},
      {"RadioButton1", "RadioButton17", "单合　："},
      {"RadioButton2", nullptr, "单分　： "},
      {"RadioButton18", nullptr, "单分　："},
      {"RadioButton3", "RadioButton19", "合分　："},
      {"RadioButton4", "RadioButton20", "分合　："},
      {"RadioButton5", "RadioButton21", "分合分："},
      {"RadioButton6", "RadioButton22", "单分单合："},
      {"RadioButton7", "RadioButton23", "合分　　："},
      {"RadioButton8", "RadioButton24", "分合　　："},
      {"RadioButton9", "RadioButton25", "分合分　："},
      {"RadioButton10", "RadioButton26", "忽略拒动作"},
      {"RadioButton11", "RadioButton27", "不忽略拒动作"},
      {"Label32", "Label72", "断口状态（○指示分       ● 指示合）"},
      {"Label33", "Label73", "A1"},
      {"Label34", "Label74", "B1"},
      {"Label35", "Label75", "C1"},
      {"Label36", "Label76", "操作提示：当前是寿命试验（单分单合），"},
      {"Label37", "Label77", "XXX"},
      {"Label38", "Label78", "/"},
      {"Label39", "Label79", "20000"},
      {"Label40", "Label80", "次"},
      {"Label99", "Label102", ""},
      {"Label100", "Label103", ""},
      {"Label101", "Label104", ""},
      {"SpeedButton3", "SpeedButton7", "开始测试"},
      {"SpeedButton4", "SpeedButton8", "继续测试"},
      {"SpeedButton6", "SpeedButton10", "保存"},
      {"Edit1", "Edit25", ""},
      {"Edit4", "Edit28", ""},
      {"Edit5", "Edit29", "300"},
      {"Edit11", "Edit34", "300"},
      {"Edit10", "Edit35", "10"},
      {"Edit18", "Edit37", "500"},
      {"Edit12", "Edit38", "300"},
      {"Edit13", "Edit39", "10"},
      {"Edit14", "Edit40", "500"},
      {"Edit22", "Edit46", "10"},
      {"Edit24", "Edit48", "500"},
  };
  for (const auto& r : rows) {
    for (const char* name : {r.s1, r.s2}) {
      if (!name) continue;
      SCOPED_TRACE(name);
      EXPECT_EQ(TextOf(QLatin1String(name)), QString::fromUtf8(r.caption));
    }
  }
  for (const char* name : {"Panel5", "Panel7", "Panel9", "Panel11", "Shape1", "Shape6", "Timer1", "Timer2"})
    EXPECT_NE(window->findChild<QObject*>(QLatin1String(name)), nullptr) << name;
}

TEST_F(MainWindowTest, ModeRadiosCarryTheirCodesAndStartOnSingleOpen) {
  Open();
  const int tags[] = {1, 2, 3, 4, 5, 17, 18, 19, 20};
  for (int i = 0; i < 9; ++i) {
    for (int first : {1, 17}) {
      auto* radio = Find<QRadioButton>(QStringLiteral("RadioButton%1").arg(first + i));
      ASSERT_NE(radio, nullptr);
      EXPECT_EQ(radio->property("Tag").toInt(), tags[i]) << radio->objectName().toStdString();
      EXPECT_EQ(radio->isChecked(), tags[i] == 2) << radio->objectName().toStdString();
    }
  }
  for (const char* name : {"RadioButton10", "RadioButton26"}) EXPECT_TRUE(Find<QRadioButton>(name)->isChecked());
  for (const char* name : {"RadioButton11", "RadioButton27"}) EXPECT_FALSE(Find<QRadioButton>(name)->isChecked());
  EXPECT_EQ(window->Controller(1).SelectedTestMode(0), 2);
  EXPECT_EQ(window->Controller(2).SelectedRefusalOption(), 5);
}

TEST_F(MainWindowTest, ControlsSitWhereTheLayoutPutsThem) {
  Open();
  const struct {
    const char* name;
    QRect geometry;  // inside its parent
  } rows[] = {
      {"SpeedButton1", {16, 8, 81, 22}},      {"SpeedButton2", {104, 8, 81, 22}},
      {"Edit1", {65, 21, 70, 21}},            {"Edit4", {433, 21, 70, 21}},
      {"Edit26", {201, 21, 70, 21}},          {"Panel5", {8, 49, 617, 352}},
      {"Panel9", {8, 49, 609, 352}},          {"Panel7", {8, 412, 617, 74}},
      {"Panel11", {8, 412, 609, 74}},         {"Edit5", {151, 16, 121, 21}},
      {"Edit7", {151, 77, 121, 21}},          {"Edit9", {151, 143, 98, 21}},
      {"Edit11", {327, 143, 98, 21}},         {"Edit34", {327, 143, 98, 21}},
      {"Edit10", {151, 211, 49, 21}},         {"Edit18", {345, 211, 49, 21}},
      {"Edit37", {345, 211, 49, 21}},         {"Edit24", {345, 315, 49, 21}},
      {"Edit48", {345, 315, 49, 21}},         {"Edit21", {276, 290, 49, 21}},
      {"GroupBox3", {6, 520, 623, 217}},      {"GroupBox6", {2, 519, 615, 216}},
      {"Shape1", {46, 64, 30, 30}},           {"Shape2", {193, 63, 30, 30}},
      {"Shape6", {342, 61, 30, 30}},          {"SpeedButton3", {19, 165, 81, 22}},
      {"SpeedButton6", {216, 165, 81, 22}},   {"SpeedButton7", {28, 167, 81, 22}},
      {"SpeedButton10", {228, 167, 81, 22}},
  };
  for (const auto& r : rows) EXPECT_EQ(Find(QLatin1String(r.name))->geometry(), r.geometry) << r.name;

  const struct {
    const char* name;
    QPoint pos;
  } labels[] = {{"Label32", {16, 16}},  {"Label33", {56, 45}},  {"Label75", {352, 45}}, {"Label99", {80, 72}},
                {"Label100", {228, 71}}, {"Label103", {227, 71}}, {"Label104", {376, 68}}, {"Label36", {16, 134}},
                {"Label76", {16, 133}},  {"Label37", {264, 134}}, {"Label79", {304, 133}}, {"Label80", {347, 133}}};
  for (const auto& l : labels) EXPECT_EQ(Find(QLatin1String(l.name))->pos(), l.pos) << l.name;

  EXPECT_EQ(Find("CoolBar1")->height(), 41);
  EXPECT_EQ(Find("Panel3")->width(), 640);
  EXPECT_EQ(Find("GroupBox2")->height(), 505);
  EXPECT_EQ(Find("GroupBox5")->height(), 503);
  EXPECT_EQ(window->size(), QSize(1277, 1021));
}

TEST_F(MainWindowTest, OnlyStationTwoFollowsTheWindowWidth) {
  Open();
  QWidget* panel3 = Find("Panel3");
  QWidget* panel4 = Find("Panel4");
  ASSERT_TRUE(rigtest::WaitFor([&] { return panel4->width() > 0; }));
  const QRect edit29 = Find("Edit29")->geometry();
  for (int width : {1500, 1100}) {
    window->resize(width, 900);
    ASSERT_TRUE(rigtest::WaitFor([&] { return panel3->width() + panel4->width() == window->width(); }))
        << width << ": " << panel3->width() << " + " << panel4->width();
    EXPECT_EQ(panel3->width(), 640);
    EXPECT_EQ(panel4->width(), width - 640);
    EXPECT_EQ(Find("GroupBox5")->width(), Find("GroupBox4")->width() - 4) << "the parameter box spans station 2";
    EXPECT_EQ(Find("Edit29")->geometry(), edit29) << "controls keep their places";
  }
}

TEST_F(MainWindowTest, BothStationsAreLockedWhenShownAndUnlockSeparately) {
  Open();
  auto inputs = [](int station) {
    QStringList names;
    const int edit0 = station == 1 ? 1 : 25, radio0 = station == 1 ? 1 : 17;
    for (int i = 0; i < 24; ++i) names << QStringLiteral("Edit%1").arg(edit0 + i);
    for (int i = 0; i < 11; ++i) names << QStringLiteral("RadioButton%1").arg(radio0 + i);
    names << QStringLiteral("SpeedButton%1").arg(station == 1 ? 3 : 7);
    return names;
  };
  auto expectEnabled = [&](int station, bool enabled) {
    for (const QString& n : inputs(station)) EXPECT_EQ(Find(n)->isEnabled(), enabled) << n.toStdString();
    const QStringList continueAndSave = station == 1 ? QStringList{"SpeedButton4", "SpeedButton6"}
                                                     : QStringList{"SpeedButton8", "SpeedButton10"};
    for (const QString& n : continueAndSave) EXPECT_FALSE(Find(n)->isEnabled()) << n.toStdString();
  };
  expectEnabled(1, false);
  expectEnabled(2, false);
  EXPECT_TRUE(Find("SpeedButton1")->isEnabled());
  EXPECT_TRUE(Find("SpeedButton2")->isEnabled());

  window->SetStationControlsEnabled(2, true);
  expectEnabled(2, true);
  expectEnabled(1, false);
  window->SetStationControlsEnabled(1, true);
  expectEnabled(1, true);
}

TEST_F(MainWindowTest, ClickingAModeShowsItsPromptAndCountsOnItsStationOnly) {
  Open();
  Unlock();
  const struct {
    int radio;  // station 1 number
    const char* prompt;
    bool counts;
    int setCountEdit;
  } rows[] = {
      {1, "操作提示：当前是操作实验（单合）", false, 0},     {2, "操作提示：当前是操作实验（单分）", false, 0},
      {3, "操作提示：当前是操作实验（合分）", false, 0},     {4, "操作提示：当前是操作实验（分合）", false, 0},
      {5, "操作提示：当前是操作实验（分合分）", false, 0},   {6, "操作提示：当前是寿命试验（单分单合）", true, 18},
      {7, "操作提示：当前是寿命试验（合分）", true, 14},     {8, "操作提示：当前是寿命试验（分合）", true, 19},
      {9, "操作提示：当前是寿命试验（分合分）", true, 24},
  };
  window->Shared().Station(1)->Run.CountDone = 42;
  for (const auto& r : rows) {
    SCOPED_TRACE(r.radio);
    if (r.setCountEdit) Find<QLineEdit>(QStringLiteral("Edit%1").arg(r.setCountEdit))->setText(QString::number(600 + r.radio));
    QTest::mouseClick(Find(QStringLiteral("RadioButton%1").arg(r.radio)), Qt::LeftButton);
    EXPECT_EQ(TextOf("Label36"), QString::fromUtf8(r.prompt));
    for (int l = 37; l <= 40; ++l) EXPECT_EQ(Shown(QStringLiteral("Label%1").arg(l)), r.counts) << l;
    if (r.counts) {
      EXPECT_EQ(TextOf("Label37"), QStringLiteral("42"));
      EXPECT_EQ(TextOf("Label39"), QString::number(600 + r.radio));
    }
    // Station 2 keeps its design state.
    EXPECT_EQ(TextOf("Label76"), QStringLiteral("操作提示：当前是寿命试验（单分单合），"));
    for (int l = 77; l <= 80; ++l) EXPECT_TRUE(Shown(QStringLiteral("Label%1").arg(l)));
  }
}

TEST_F(MainWindowTest, StationTwoLifeModeShowsItsOwnCountsAndLeavesStationOneAlone) {
  Open();
  Unlock();
  window->Shared().Station(2)->Run.CountDone = 7;
  Find<QLineEdit>("Edit37")->setText(QStringLiteral("1234"));
  QTest::mouseClick(Find("RadioButton22"), Qt::LeftButton);
  EXPECT_EQ(TextOf("Label76"), QStringLiteral("操作提示：当前是寿命试验（单分单合）"));
  for (int l = 77; l <= 80; ++l) EXPECT_TRUE(Shown(QStringLiteral("Label%1").arg(l)));
  EXPECT_EQ(TextOf("Label77"), QStringLiteral("7"));
  EXPECT_EQ(TextOf("Label79"), QStringLiteral("1234"));

  QTest::mouseClick(Find("RadioButton17"), Qt::LeftButton);
  EXPECT_EQ(TextOf("Label76"), QStringLiteral("操作提示：当前是操作实验（单合）"));
  for (int l = 77; l <= 80; ++l) EXPECT_FALSE(Shown(QStringLiteral("Label%1").arg(l)));

  EXPECT_EQ(TextOf("Label36"), QStringLiteral("操作提示：当前是寿命试验（单分单合），"));
  EXPECT_EQ(TextOf("Label37"), QStringLiteral("XXX"));
  for (int l = 37; l <= 40; ++l) EXPECT_TRUE(Shown(QStringLiteral("Label%1").arg(l)));
  EXPECT_TRUE(Find<QRadioButton>("RadioButton2")->isChecked());
}

TEST_F(MainWindowTest, LeavingAnEditOutOfRangeNotifiesAndKeepsTheFocusThere) {
  OpenActive();
  Unlock();
  const struct {
    const char* edit;
    const char* next;
    const char* text;
    const char* message;  // nullptr: none
  } rows[] = {
      {"Edit7", "Edit8", "200000", nullptr},
      {"Edit7", "Edit8", "200001", "只能输入1-200000的数字"},
      {"Edit7", "Edit8", "0", "只能输入1-200000的数字"},
      {"Edit5", "Edit6", "", nullptr},
      {"Edit5", "Edit6", "30001", "只能输入1-30000的数字"},
      {"Edit17", "Edit18", "3001", "只能输入1-3000的数字"},
      {"Edit18", "Edit10", "32001", "只能输入1-32000的数字"},
      {"Edit31", "Edit32", "200001", "只能输入1-200000的数字"},
      {"Edit48", "Edit47", "0", "只能输入1-32000的数字"},
      {"Edit47", "Edit48", "3000", nullptr},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(std::string(r.edit) + "=" + r.text);
    auto* edit = Find<QLineEdit>(QLatin1String(r.edit));
    auto* next = Find<QLineEdit>(QLatin1String(r.next));
    next->setText(QStringLiteral("1"));
    edit->setFocus(Qt::MouseFocusReason);
    ASSERT_TRUE(rigtest::WaitFor([&] { return edit->hasFocus(); }));
    edit->setText(QString::fromUtf8(r.text));
    notifier->notices.clear();
    next->setFocus(Qt::TabFocusReason);
    if (r.message) {
      EXPECT_EQ(notifier->Texts(), QStringList{QString::fromUtf8(r.message)});
      EXPECT_TRUE(edit->hasFocus());
    } else {
      EXPECT_TRUE(notifier->notices.empty());
      EXPECT_TRUE(next->hasFocus());
    }
    EXPECT_EQ(edit->text(), QString::fromUtf8(r.text));
    edit->setText(QStringLiteral("1"));
  }
}

TEST_F(MainWindowTest, TwoBadEditsDoNotBounceTheFocusBetweenThem) {
  OpenActive();
  Unlock();
  auto* edit7 = Find<QLineEdit>("Edit7");
  auto* edit8 = Find<QLineEdit>("Edit8");
  edit7->setText(QStringLiteral("0"));
  edit8->setText(QStringLiteral("999999"));
  edit7->setFocus(Qt::MouseFocusReason);
  edit8->setFocus(Qt::MouseFocusReason);
  QApplication::processEvents();
  EXPECT_EQ(notifier->notices.size(), 1u);
  EXPECT_TRUE(edit7->hasFocus());
}

TEST_F(MainWindowTest, ParameterEditsShowTheirRangeAsHintExceptTwoSetCounts) {
  Open();
  const struct {
    const char* name;
    const char* hint;
    bool shown;
  } rows[] = {
      {"Edit5", "[1,30000]", true},   {"Edit30", "[1,30000]", true},   {"Edit7", "[1,200000]", true},
      {"Edit11", "[1,200000]", true}, {"Edit10", "[1,3000]", true},    {"Edit47", "[1,3000]", true},
      {"Edit18", "[1,32000]", false}, {"Edit14", "[1,32000]", false},  {"Edit37", "[1,32000]", false},
      {"Edit40", "[1,32000]", false}, {"Edit19", "[1,32000]", true},   {"Edit48", "[1,32000]", true},
  };
  for (const auto& r : rows) {
    QWidget* e = Find(QLatin1String(r.name));
    EXPECT_EQ(e->property("Hint").toString(), QLatin1String(r.hint)) << r.name;
    EXPECT_EQ(e->toolTip(), r.shown ? QLatin1String(r.hint) : QString()) << r.name;
  }
}

void Type(QWidget* w, const QString& text) {
  for (QChar c : text) {
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
    QApplication::sendEvent(w, &press);
  }
}

TEST_F(MainWindowTest, DigitsOnlyOnParameterEditsAndFreeTextOnBothStationsIdentity) {
  window.reset();
  const QString config = QStringLiteral("[Config]\r\nWorkArea2=二号\r\n");
  dir.Write(QStringLiteral("Config.ini"), ToGbk(config));
  Open();
  Unlock();
  const struct {
    const char* name;
    const char* typed;
    const char* expected;
  } rows[] = {
      {"Edit1", "ZN63-12 中", "ZN63-12 中"}, {"Edit4", "张三", "张三"},   {"Edit5", "a1b2", "12"},
      {"Edit24", "5x0-0", "500"},            {"Edit25", "ZW32-12", "ZW32-12"}, {"Edit28", "李4", "李4"},
      {"Edit48", "1.5", "15"},
  };
  for (const auto& r : rows) {
    auto* e = Find<QLineEdit>(QLatin1String(r.name));
    e->clear();
    Type(e, QString::fromUtf8(r.typed));
    EXPECT_EQ(e->text(), QString::fromUtf8(r.expected)) << r.name;
  }
  // Put there by the program: shown as it is, and the operator can still delete.
  auto* edit27 = Find<QLineEdit>("Edit27");
  EXPECT_EQ(edit27->text(), QStringLiteral("二号"));
  edit27->end(false);
  QTest::keyClick(edit27, Qt::Key_Backspace);
  EXPECT_EQ(edit27->text(), QStringLiteral("二"));
}

TEST_F(MainWindowTest, IdentityTextsSurviveARestartWithChineseCharacters) {
  Open();
  Unlock();
  const char* texts[8] = {"ZW32-12/630", "出厂0815", "一号工位", "张三", "123", "456", "二号", "李四"};
  const char* names[8] = {"Edit1", "Edit2", "Edit3", "Edit4", "Edit25", "Edit26", "Edit27", "Edit28"};
  for (int i = 0; i < 8; ++i) Find<QLineEdit>(QLatin1String(names[i]))->setText(QString::fromUtf8(texts[i]));
  window.reset();

  const QByteArray ini = dir.Read(QStringLiteral("Config.ini"));
  EXPECT_TRUE(ini.contains(ToGbk(QStringLiteral("WorkName1=张三"))));
  EXPECT_TRUE(ini.contains(ToGbk(QStringLiteral("WorkArea2=二号"))));

  Open();
  for (int i = 0; i < 8; ++i) EXPECT_EQ(TextOf(QLatin1String(names[i])), QString::fromUtf8(texts[i])) << names[i];
}

TEST_F(MainWindowTest, WithoutConfigTheIdentityBoxesAreEmpty) {
  Open();
  for (const char* n : {"Edit1", "Edit2", "Edit3", "Edit4", "Edit25", "Edit26", "Edit27", "Edit28"})
    EXPECT_TRUE(TextOf(QLatin1String(n)).isEmpty()) << n;
  EXPECT_TRUE(notifier->notices.empty());
}

TEST_F(MainWindowTest, MenuBarHoldsTheProgramDataSettingsAndHelpEntries) {
  Open();
  QMenuBar* bar = window->menuBar();
  QStringList top, visible;
  for (QAction* a : bar->actions()) {
    top << a->objectName();
    if (a->isVisible()) visible << a->text();
  }
  EXPECT_EQ(top, (QStringList{"N1", "N2", "N3", "N4", "NP", "N5"}));
  EXPECT_EQ(visible, (QStringList{"程序", "数据管理", "设置", "试验方案", "帮助"}));
  EXPECT_EQ(Find<QAction>("N3")->text(), QStringLiteral("安全管理"));
  EXPECT_EQ(Find<QAction>("N2")->menu(), nullptr);
  EXPECT_EQ(Find<QAction>("N4")->menu(), nullptr);

  auto entries = [&](const char* menu) {
    QStringList out;
    for (QAction* a : Find<QMenu>(QLatin1String(menu))->actions()) out << a->objectName() + QLatin1Char('=') + a->text();
    return out;
  };
  EXPECT_EQ(entries("N1"), (QStringList{"N6=启动所有工位", "N7=关闭所有工位并退出"}));
  EXPECT_EQ(entries("N5"), (QStringList{"N8=帮助", "N9=关于"}));
  EXPECT_EQ(entries("NP"), (QStringList{"NP1=工位1试验方案…", "NP2=工位2试验方案…", "NPH=开关履历…"}));
}

// 工位2试验方案… opens station 2's programme window on the M2 preset; a
// block spoilt in its table is refused naming the field, and the mended
// programme becomes station 2's, not station 1's.
TEST_F(MainWindowTest, TheProgrammeWindowTakesOnAPresetProgrammeForItsStation) {
  Open();
  Find<QAction>("NP2")->trigger();
  auto* form = window->findChild<QDialog*>("frmProgramme");
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(form->windowTitle(), QStringLiteral("工位2试验方案"));
  auto* blocks = form->findChild<QTableWidget*>("Blocks");
  ASSERT_EQ(blocks->rowCount(), 5);
  blocks->item(2, 1)->setText("0");
  form->findChild<QPushButton*>("TakeOn")->click();
  ASSERT_FALSE(notifier->notices.empty());
  EXPECT_EQ(notifier->notices.back().text, QStringLiteral("第3段次数：只能输入1-32000的数字"));
  EXPECT_FALSE(window->Programme(2).Current());
  blocks->item(2, 1)->setText("2000");
  form->findChild<QPushButton*>("TakeOn")->click();
  ASSERT_TRUE(window->Programme(2).Current());
  EXPECT_EQ(window->Programme(2).Current()->Target, 10000);
  EXPECT_FALSE(window->Programme(1).Current());
  EXPECT_FALSE(form->findChild<QPushButton*>("TakeOn")->isEnabled());
  form->close();
}

TEST_F(MainWindowTest, AboutBoxIsMadeAnewEachTimeAndClosesWithItsButton) {
  Open();
  QPointer<QWidget> first;
  for (int round = 0; round < 2; ++round) {
    QStringList seen;
    rigtest::ModalRun run = rigtest::RunModal([&] { Find<QAction>("N9")->trigger(); },
                                              [&](QWidget* box) {
                                                seen << box->objectName() << box->windowTitle();
                                                for (const char* n : {"lblSystemtitle", "lblVersion", "Label4"})
                                                  seen << box->findChild<QLabel*>(QLatin1String(n))->text();
                                                if (round == 0) first = box;
                                                box->findChild<QAbstractButton*>("BitBtn1")->click();
                                              });
    EXPECT_TRUE(run.appeared);
    EXPECT_EQ(seen, (QStringList{"FrmAbout", "关于", "高压开关机械寿命磨合试验系统V1p3", "版本1p3", "2019-04-18"}));
    EXPECT_TRUE(run.window.isNull()) << "destroyed when closed";
  }
  EXPECT_TRUE(first.isNull());
}

TEST_F(MainWindowTest, SettingsOpensOnStationOneWithTheConfiguredPortAndCloses) {
  Open();
  window->Shared().Station(1)->Config.PortName = QStringLiteral("ttyUSB7");
  QStringList seen;
  rigtest::ModalRun run = rigtest::RunModal([&] { Find<QAction>("N4")->trigger(); },
                                            [&](QWidget* dialog) {
                                              seen << dialog->objectName() << dialog->windowTitle();
                                              seen << dialog->findChild<QComboBox*>("CBox_WorkArea")->currentText();
                                              seen << dialog->findChild<QComboBox*>("CombComm")->currentText();
                                              dialog->findChild<QAbstractButton*>("BitBtn2")->click();
                                            });
  EXPECT_TRUE(run.appeared);
  EXPECT_EQ(seen, (QStringList{"frmSetComm", "通讯设置", "工位1", "ttyUSB7"}));
  EXPECT_TRUE(run.window.isNull());
  // Closing without saving says nothing; the links are reopened with what
  // memory holds, and the port set above does not exist here.
  EXPECT_EQ(notifier->Texts(), QStringList({QStringLiteral("/dev/ttyUSB7打开串口失败，请配置串口!!")}));
}

TEST_F(MainWindowTest, HelpHandsTheConfiguredDocumentToTheDesktop) {
  Open();
  QStringList opened;
  window->SetHelpOpener([&](const QString& path, const QString& workDir) { opened << path << workDir; });
  dir.Write(QStringLiteral("manual.doc"), "doc");
  window->Shared().HelpFileName = dir.File(QStringLiteral("manual.doc"));
  Find<QAction>("N8")->trigger();
  EXPECT_EQ(opened, (QStringList{dir.File(QStringLiteral("manual.doc")), dir.Path()}));

  opened.clear();
  // A missing document is said so, with the place it was looked for.
  window->Shared().HelpFileName = dir.File(QStringLiteral("missing.doc"));
  Find<QAction>("N8")->trigger();
  EXPECT_TRUE(opened.isEmpty());
  ASSERT_EQ(notifier->notices.size(), 1u);
  EXPECT_TRUE(notifier->notices[0].text.startsWith(QStringLiteral("找不到帮助文档：") + dir.File("missing.doc") + "\n"))
      << notifier->notices[0].text.toStdString();
}

TEST_F(MainWindowTest, StopAllStationsAndQuitClosesTheWindow) {
  Open();
  Find<QAction>("N7")->trigger();
  EXPECT_TRUE(rigtest::WaitFor([&] { return !window->isVisible(); }));
}

TEST_F(MainWindowTest, BreakCirclesAreDrawnInTheirColoursAndFillWhenClosed) {
  Open();
  const QColor colours[3] = {QColor(255, 255, 0), QColor(0, 128, 0), QColor(255, 0, 0)};
  for (int b = 0; b < 3; ++b) {
    for (int first : {1, 4}) {
      auto* shape = Find<TShape>(QStringLiteral("Shape%1").arg(first + b));
      EXPECT_EQ(shape->PenColor(), colours[b]);
      EXPECT_EQ(shape->PenWidth(), 2);
      EXPECT_EQ(shape->BrushColor(), shape->palette().color(QPalette::Button));
    }
    EXPECT_EQ(Find<QLabel>(QStringLiteral("Label%1").arg(33 + b))->palette().color(QPalette::WindowText), colours[b]);
  }
  window->Panel(2).SetBreakClosed(kBreakB1, true);
  window->Panel(2).SetRefusalMark(kBreakB1, QStringLiteral("拒合"));
  EXPECT_EQ(Find<TShape>("Shape5")->BrushColor(), colours[1]);
  EXPECT_EQ(TextOf("Label103"), QStringLiteral("拒合"));
  EXPECT_EQ(Find<TShape>("Shape2")->BrushColor(), Find<TShape>("Shape2")->palette().color(QPalette::Button));
  EXPECT_EQ(TextOf("Label100"), QString());
}

// Saves the picture beside the build's programs, for anyone to look at.
TEST_F(MainWindowTest, RendersAtTheDesignSizeWithCjkGlyphs) {
  Open();
  Unlock();
  QApplication::processEvents();
  const QImage image = window->grab().toImage();
  EXPECT_EQ(image.size(), QSize(1277, 1021));
  image.save(QStringLiteral(RIG_BIN_DIR "/../mainwindow-test.png"));

  // The A1 circle's pen, at the top of the circle.
  QWidget* shape = Find("Shape1");
  const QColor pen = image.pixelColor(shape->mapTo(window.get(), QPoint(15, 1)));
  EXPECT_GT(pen.red(), 200);
  EXPECT_GT(pen.green(), 200);
  EXPECT_LT(pen.blue(), 100);

  // A Chinese caption draws ink, not nothing: a CJK font was found.
  QLabel* title = Find<QLabel>("Label32");
  const QImage label = title->grab().toImage();
  int dark = 0;
  for (int y = 0; y < label.height(); ++y)
    for (int x = 0; x < label.width(); ++x) dark += qGray(label.pixel(x, y)) < 100;
  EXPECT_GT(dark, 50);
  // ... and that font holds the glyphs itself rather than drawing boxes.
  EXPECT_TRUE(QRawFont::fromFont(title->font()).supportsCharacter(QChar(u'断')))
      << QFontInfo(title->font()).family().toStdString();
}

}  // namespace
}  // namespace rig
