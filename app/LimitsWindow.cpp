#include "LimitsWindow.h"

#include "Controls.h"
#include "Cp1252.h"
#include "JudgementTexts.h"
#include "Languages.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QSpinBox>
#include <QVBoxLayout>

namespace zt40 {

namespace {

QString text(const char* cp1252) {
    return platform::fromCp1252(cp1252);
}

QLineEdit* numberEdit(QWidget* parent, const char* name) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setAlignment(Qt::AlignRight);
    return edit;
}

QString numberText(const std::optional<double>& value, char separator) {
    return value ? platform::fromCp1252(decimalText(*value, separator)) : QString();
}

} // namespace

LimitsWindow::LimitsWindow(QWidget* parent) : QDialog(parent) {
    setObjectName("LimitsWindow");
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    offChoice = new QRadioButton(this);
    offChoice->setObjectName("LimitsOff");
    boundsChoice = new QRadioButton(this);
    boundsChoice->setObjectName("LimitsBounds");
    nominalChoice = new QRadioButton(this);
    nominalChoice->setObjectName("LimitsNominal");
    kinds_ = new QButtonGroup(this);
    kinds_->addButton(offChoice, static_cast<int>(LimitKind::Off));
    kinds_->addButton(boundsChoice, static_cast<int>(LimitKind::Bounds));
    kinds_->addButton(nominalChoice, static_cast<int>(LimitKind::Nominal));
    connect(kinds_, &QButtonGroup::idClicked, this, &LimitsWindow::kindChosen);

    lowerEdit = numberEdit(this, "LowerLimit");
    upperEdit = numberEdit(this, "UpperLimit");
    nominalEdit = numberEdit(this, "NominalValue");
    toleranceEdit = numberEdit(this, "Tolerance");
    lowerLabel_ = new QLabel(this);
    upperLabel_ = new QLabel(this);
    nominalLabel_ = new QLabel(this);
    toleranceLabel_ = new QLabel(this);
    sampleSizeLabel_ = new QLabel(this);

    // 1 stands for no samples: a sample has 2 to 20 readings.
    sampleSizeBox = new QSpinBox(this);
    sampleSizeBox->setObjectName("ReadingsPerSample");
    sampleSizeBox->setRange(MinSampleSize - 1, MaxSampleSize);

    buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &LimitsWindow::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &LimitsWindow::reject);

    auto* bounds = new QFormLayout;
    bounds->setContentsMargins(24, 0, 0, 0);
    bounds->addRow(lowerLabel_, lowerEdit);
    bounds->addRow(upperLabel_, upperEdit);
    auto* nominal = new QFormLayout;
    nominal->setContentsMargins(24, 0, 0, 0);
    nominal->addRow(nominalLabel_, nominalEdit);
    nominal->addRow(toleranceLabel_, toleranceEdit);
    auto* samples = new QFormLayout;
    samples->addRow(sampleSizeLabel_, sampleSizeBox);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(offChoice);
    layout->addWidget(boundsChoice);
    layout->addLayout(bounds);
    layout->addWidget(nominalChoice);
    layout->addLayout(nominal);
    layout->addSpacing(8);
    layout->addLayout(samples);
    layout->addStretch();
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    applyLanguage();
    kindChosen();
}

void LimitsWindow::applyLanguage() {
    const LimitsTexts& t = limitsTexts(ActiveLanguage);
    setWindowTitle(text(t.title));
    offChoice->setText(text(t.off));
    boundsChoice->setText(text(t.bounds));
    nominalChoice->setText(text(t.nominal));
    lowerLabel_->setText(text(t.lower));
    upperLabel_->setText(text(t.upper));
    nominalLabel_->setText(text(t.nominalValue));
    toleranceLabel_->setText(text(t.tolerance));
    sampleSizeLabel_->setText(text(t.readingsPerSample));
    sampleSizeBox->setSpecialValueText(text(t.samplesOff));
    buttons->button(QDialogButtonBox::Cancel)->setText(text(t.cancel));
}

void LimitsWindow::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) {
        applyLanguage();
    }
    QDialog::showEvent(event);
}

void LimitsWindow::setSettings(const JudgementSettings& settings, char separator) {
    settings_ = settings;
    separator_ = separator;
    kinds_->button(static_cast<int>(settings.limits.kind))->setChecked(true);
    lowerEdit->setText(numberText(settings.limits.lower, separator));
    upperEdit->setText(numberText(settings.limits.upper, separator));
    nominalEdit->setText(numberText(settings.limits.nominal, separator));
    toleranceEdit->setText(numberText(settings.limits.tolerance, separator));
    sampleSizeBox->setValue(settings.sampleSize == 0 ? sampleSizeBox->minimum()
                                                     : settings.sampleSize);
    kindChosen();
}

LimitKind LimitsWindow::kind() const {
    return static_cast<LimitKind>(std::max(kinds_->checkedId(), 0));
}

void LimitsWindow::kindChosen() {
    const LimitKind k = kind();
    for (QWidget* w : {static_cast<QWidget*>(lowerEdit), static_cast<QWidget*>(upperEdit),
                       static_cast<QWidget*>(lowerLabel_), static_cast<QWidget*>(upperLabel_)}) {
        w->setEnabled(k == LimitKind::Bounds);
    }
    for (QWidget* w :
         {static_cast<QWidget*>(nominalEdit), static_cast<QWidget*>(toleranceEdit),
          static_cast<QWidget*>(nominalLabel_), static_cast<QWidget*>(toleranceLabel_)}) {
        w->setEnabled(k == LimitKind::Nominal);
    }
}

void LimitsWindow::refuse(const QString& message, QLineEdit* focus) {
    tellWarning(this, windowTitle(), message, "LimitsRefusedBox");
    if (focus != nullptr) {
        focus->setFocus();
        focus->selectAll();
    }
}

bool LimitsWindow::readField(QLineEdit* edit, QLabel* label, std::optional<double>& value) {
    value.reset();
    const QString typed = edit->text().trimmed();
    if (typed.isEmpty()) {
        return true;
    }
    const std::string bytes = platform::toCp1252(typed);
    // A character the code page lacks comes back as '?', which no number holds.
    value = parseDecimalText(bytes, separator_);
    if (value) {
        return true;
    }
    const LimitsTexts& t = limitsTexts(ActiveLanguage);
    const QString example = platform::fromCp1252(decimalText(12.5, separator_));
    QString field = label->text();
    refuse(text(t.notANumber).arg(field, typed, example), edit);
    return false;
}

void LimitsWindow::accept() {
    JudgementSettings chosen;
    LimitSettings& limits = chosen.limits;
    limits.kind = kind();
    // Values of the choices not taken are kept for the next time, when they are numbers.
    const bool bounds = limits.kind == LimitKind::Bounds;
    const bool nominal = limits.kind == LimitKind::Nominal;
    const struct {
        QLineEdit* edit;
        QLabel* label;
        std::optional<double>& value;
        bool checked;
    } fields[] = {{lowerEdit, lowerLabel_, limits.lower, bounds},
                  {upperEdit, upperLabel_, limits.upper, bounds},
                  {nominalEdit, nominalLabel_, limits.nominal, nominal},
                  {toleranceEdit, toleranceLabel_, limits.tolerance, nominal}};
    for (const auto& f : fields) {
        if (f.checked) {
            if (!readField(f.edit, f.label, f.value)) {
                return;
            }
        } else {
            f.value = parseDecimalText(platform::toCp1252(f.edit->text()), separator_);
        }
    }

    const LimitsTexts& t = limitsTexts(ActiveLanguage);
    switch (checkLimits(limits)) {
    case LimitProblem::None:
        break;
    case LimitProblem::BoundsMissing:
        refuse(text(t.boundsMissing), lowerEdit);
        return;
    case LimitProblem::NominalMissing:
        refuse(text(t.nominalMissing), limits.nominal ? toleranceEdit : nominalEdit);
        return;
    case LimitProblem::Reversed:
        refuse(text(t.reversed), lowerEdit);
        return;
    case LimitProblem::Equal:
        if (nominal) {
            refuse(text(t.toleranceNotPositive), toleranceEdit);
        } else {
            refuse(text(t.equal), upperEdit);
        }
        return;
    case LimitProblem::ToleranceNotPositive:
        refuse(text(t.toleranceNotPositive), toleranceEdit);
        return;
    case LimitProblem::TooLarge:
        refuse(text(t.tooLarge), nominal ? toleranceEdit : upperEdit);
        return;
    }
    chosen.sampleSize = validSampleSize(sampleSizeBox->value());
    settings_ = chosen;
    QDialog::accept();
}

} // namespace zt40
