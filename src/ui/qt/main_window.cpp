#include "ui/qt/main_window.h"

#include "app/control_texts.h"
#include "ui/qt/app_icon.h"
#include "ui/qt/window_font.h"

#include <QCloseEvent>

namespace korvex::ui {

namespace {

constexpr int kTwipsPerPixel = 15;

// A rectangle in twips, relative to the control's container.
struct Twips {
    int left, top, width, height;
    QRect pixels() const {
        return {left / kTwipsPerPixel, top / kTwipsPerPixel, width / kTwipsPerPixel, height / kTwipsPerPixel};
    }
};

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, Twips rect, bool enabled) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(rect.pixels());
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setTextFormat(Qt::PlainText);
    label->setEnabled(enabled);
    return label;
}

// A box for a value read from the board: the edit-field background, the normal window text.
QLabel* makeValueLabel(QWidget* parent, const char* name, Twips rect) {
    QLabel* label = makeLabel(parent, name, QString(), rect, true);
    label->setAutoFillBackground(true);
    label->setBackgroundRole(QPalette::Base);
    label->setForegroundRole(QPalette::WindowText);
    return label;
}

// What a screen reader calls the control and what it says about it; the same words as a tooltip
// where a pointer resting there should explain the control.
void describe(QWidget* widget, const texts::ControlText& text, bool tooltip) {
    widget->setAccessibleName(QString::fromUtf8(text.name));
    widget->setAccessibleDescription(QString::fromUtf8(text.tip));
    if (tooltip) widget->setToolTip(QString::fromUtf8(text.tip));
}

QComboBox* makeList(QWidget* parent, const char* name, Twips rect, const texts::ControlText& text) {
    auto* combo = new QComboBox(parent);
    combo->setObjectName(QString::fromLatin1(name));
    combo->setGeometry(rect.pixels());
    combo->setEnabled(false);
    describe(combo, text, true);
    takeWheelOnlyWithFocus(combo);
    return combo;
}

struct PairRow {
    const char* list;
    const char* label;
    const char* text;
    Twips listRect;
    Twips labelRect;
};

// Two columns of four lists, each with its button pair's label to the right.
constexpr PairRow kPairRows[kEncoderCount] = {
    {"Enc1", "Label6", "1-2", {240, 480, 900, 360}, {1260, 540, 1095, 375}},
    {"Enc2", "Label7", "3-4", {240, 960, 900, 360}, {1260, 1020, 1095, 375}},
    {"Enc3", "Label8", "5-6", {240, 1440, 900, 360}, {1260, 1500, 1095, 375}},
    {"Enc4", "Label9", "7-8", {240, 1920, 900, 360}, {1260, 1980, 1095, 375}},
    {"Enc5", "Label10", "9-10", {2400, 480, 900, 360}, {3420, 555, 615, 375}},
    {"Enc6", "Label11", "11-12", {2400, 960, 900, 360}, {3420, 1035, 615, 375}},
    {"Enc7", "Label12", "13-14", {2400, 1440, 900, 360}, {3420, 1515, 735, 375}},
    {"Enc8", "Label13", "15-16", {2400, 1920, 900, 360}, {3420, 1995, 615, 375}},
};

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QWidget(parent), timer_(kTimerStartInterval) { build(); }

MainWindow::~MainWindow() = default;

void MainWindow::build() {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Korvex Rotary Encoders Configuration"));
    setWindowIcon(appIcon());
    setFont(windowFont());
    setFixedSize(Twips{0, 0, 4455, 5775}.pixels().size());

    // Device details. The value boxes run past the frame's right edge; the frame cuts them off.
    // Each caption is tied to the control that shows its value, so a screen reader names it.
    auto* frame1 = new CaptionFrame(QStringLiteral("Device details"), this);
    frame1->setObjectName(QStringLiteral("Frame1"));
    frame1->setGeometry(Twips{120, 0, 4215, 1935}.pixels());
    describe(frame1, texts::kDetailsGroup, false);
    QLabel* serialCaption = makeLabel(frame1, "Label3", QStringLiteral("Serial Number"), {240, 360, 1815, 285}, true);
    QLabel* serial = makeValueLabel(frame1, "lblSerialNumber", {1680, 360, 3300, 330});
    QLabel* manufCaption = makeLabel(frame1, "Label4", QStringLiteral("Manufacturer"), {240, 720, 1215, 285}, true);
    QLabel* manuf = makeValueLabel(frame1, "lblManuf", {1680, 720, 3300, 330});
    QLabel* productCaption = makeLabel(frame1, "Label5", QStringLiteral("Product"), {240, 1080, 1215, 285}, true);
    QLabel* product = makeValueLabel(frame1, "lblProduct", {1680, 1080, 3300, 330});
    QLabel* versionCaption = makeLabel(frame1, "Label2", QStringLiteral("Version"), {240, 1440, 1455, 285}, true);
    QLabel* version = makeValueLabel(frame1, "lblVersion", {1680, 1440, 3300, 330});
    manufCaption->setBuddy(manuf);
    productCaption->setBuddy(product);
    versionCaption->setBuddy(version);
    describe(manuf, texts::kManufacturer, false);
    describe(product, texts::kProduct, false);
    describe(version, texts::kVersion, true);
    QComboBox* serNo = makeList(frame1, "SerNo", {1680, 300, 1320, 360}, texts::kSerial);
    serNo->raise();  // drawn over the serial-number box it covers
    // The list shows the serial number; the box under it is never written.
    serialCaption->setBuddy(serNo);
    describe(serial, texts::kSerial, false);

    // Encoder modes, the separator and the pulse length.
    auto* frame3 = new CaptionFrame(QStringLiteral("Rotary encoder type for button pairs:"), this);
    frame3->setObjectName(QStringLiteral("Frame3"));
    frame3->setGeometry(Twips{120, 2040, 4215, 3135}.pixels());
    describe(frame3, texts::kEncodersGroup, false);
    std::array<QComboBox*, kEncoderCount> encoders{};
    for (std::size_t k = 0; k < kEncoderCount; ++k) {
        const PairRow& row = kPairRows[k];
        QLabel* pair = makeLabel(frame3, row.label, QString::fromLatin1(row.text), row.labelRect, false);
        controls_.pairLabel[k] = store_.make<QtLabel>(pair);
        encoders[k] = makeList(frame3, row.list, row.listRect, texts::kEncoder[k]);
        pair->setBuddy(encoders[k]);
        controls_.Enc[k] = store_.make<QtList>(encoders[k]);
    }
    auto* line = new QWidget(frame3);
    line->setObjectName(QStringLiteral("Line1"));
    line->setGeometry(Twips{120, 2280, 4440 - 120, kTwipsPerPixel}.pixels());
    line->setAutoFillBackground(true);
    line->setBackgroundRole(QPalette::Mid);
    QComboBox* modeCh1 = makeList(frame3, "ModeCh1", {240, 2520, 1260, 360}, texts::kPulse);
    QLabel* label1 =
        makeLabel(frame3, "Label1", QStringLiteral("Encoders pulse length"), {1560, 2580, 2055, 375}, false);
    label1->setBuddy(modeCh1);
    for (QComboBox* list : encoders) list->raise();
    modeCh1->raise();

    auto* noJoy = new ToggleBox(QStringLiteral("Hide Korvex from gaming devices list "), this);
    noJoy->setObjectName(QStringLiteral("NoJoy"));
    noJoy->setGeometry(Twips{360, 5280, 3975, 375}.pixels());
    noJoy->setEnabled(false);
    describe(noJoy, texts::kHide, true);

    // Only the lists and the check box take the focus, in this order.
    QWidget* previous = modeCh1;
    for (QComboBox* list : encoders) {
        setTabOrder(previous, list);
        previous = list;
    }
    setTabOrder(previous, serNo);
    setTabOrder(serNo, noJoy);

    // Both frames start disabled; they take their controls' focus away, so this comes after the chain.
    frame1->setInputEnabled(false);
    frame3->setInputEnabled(false);

    controls_.Frame1 = store_.make<QtFrame>(frame1);
    controls_.Frame3 = store_.make<QtFrame>(frame3);
    controls_.SerNo = store_.make<QtList>(serNo);
    controls_.ModeCh1 = store_.make<QtList>(modeCh1);
    controls_.lblSerialNumber = store_.make<QtLabel>(serial);
    controls_.lblManuf = store_.make<QtLabel>(manuf);
    controls_.lblProduct = store_.make<QtLabel>(product);
    controls_.lblVersion = store_.make<QtLabel>(version);
    controls_.Label1 = store_.make<QtLabel>(label1);
    controls_.NoJoy = store_.make<QtCheckBox>(noJoy);
    controls_.Timer = &timer_;
    controls_.showWindow = [this] { show(); };
}

void MainWindow::wake() {
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (wake_) wake_();
        },
        Qt::QueuedConnection);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!unloaded_) {
        unloaded_ = true;
        if (unload_) unload_();
    }
    event->accept();
}

}  // namespace korvex::ui
