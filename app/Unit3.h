#pragma once
// Export options dialog: clipboard + spreadsheet, file, or printer.

#include <QDialog>

#include <array>
#include <functional>
#include <string>

class QGroupBox;
class QRadioButton;
class QPushButton;

namespace zt40 {

class TForm3 : public QDialog {
    Q_OBJECT
public:
    // uiText returns the active language's text of a slot, as Windows-1252 bytes.
    explicit TForm3(std::function<std::string(int)> uiText, QWidget* parent = nullptr);

    // 0 clipboard and spreadsheet, 1 file, 2 print, -1 nothing selected; set by OK.
    int ExportChoice = 0;

    void FormShow();
    void Button1Click();

    QGroupBox* RadioGroup1 = nullptr;
    std::array<QRadioButton*, 3> RadioItems{};
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;

    // Index of the checked item, -1 when none is.
    int ItemIndex() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::function<std::string(int)> uiText_;
};

} // namespace zt40
