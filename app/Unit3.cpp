#include "Unit3.h"

#include "Controls.h"
#include "Cp1252.h"
#include "Languages.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>

namespace zt40 {

TForm3::TForm3(std::function<std::string(int)> uiText, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      uiText_(std::move(uiText)) {
    setObjectName("Form3");
    setWindowTitle("Export");
    setFixedSize(406, 225);
    QFont f("MS Sans Serif");
    f.setPointSize(8);
    setFont(f);

    RadioGroup1 = new QGroupBox("Options", this);
    RadioGroup1->setObjectName("RadioGroup1");
    RadioGroup1->setGeometry(48, 32, 321, 105);
    // Exclusive group that still allows "nothing checked" after a reset.
    auto* group = new QButtonGroup(this);
    group->setExclusive(true);
    const char* designTexts[3] = {"Save to Clipboard and start Excel", "Save to File", "Print"};
    for (int i = 0; i < 3; ++i) {
        auto* item = new QRadioButton(designTexts[i], RadioGroup1);
        item->setObjectName(QString("RadioItem%1").arg(i));
        item->setGeometry(8, 18 + i * 27, 305, 22);
        group->addButton(item, i);
        RadioItems[static_cast<size_t>(i)] = item;
    }

    Button1 = new QPushButton("OK", this);
    Button1->setObjectName("Button1");
    Button1->setGeometry(104, 168, 75, 25);
    Button1->setDefault(true);
    Button1->setAutoDefault(true);
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });

    Button2 = new QPushButton("Cancel", this);
    Button2->setObjectName("Button2");
    Button2->setGeometry(240, 168, 75, 25);
    Button2->setAutoDefault(false);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject); // Esc rejects as well
}

int TForm3::ItemIndex() const {
    for (size_t i = 0; i < RadioItems.size(); ++i)
        if (RadioItems[i]->isChecked())
            return static_cast<int>(i);
    return -1;
}

void TForm3::FormShow() {
    RadioGroup1->setTitle(platform::fromCp1252(uiText_(Slot::ExportOptions)));
    for (size_t i = 0; i < RadioItems.size(); ++i)
        RadioItems[i]->setText(
            platform::fromCp1252(uiText_(Slot::FirstExportChoice + static_cast<int>(i))));
    Button2->setText(platform::fromCp1252(uiText_(Slot::Cancel)));

    // Never preselect the previous choice: uncheck through a non-exclusive moment.
    auto* group = RadioItems[0]->group();
    group->setExclusive(false);
    for (auto* item : RadioItems)
        item->setChecked(false);
    group->setExclusive(true);
}

void TForm3::Button1Click() {
    ExportChoice = ItemIndex();
    accept();
}

void TForm3::showEvent(QShowEvent* event) {
    // A window restored from the task bar is shown again by the system: keep the choice made.
    if (!event->spontaneous()) {
        FormShow();
        centreOnScreen(this);
    }
    QDialog::showEvent(event);
}

} // namespace zt40
