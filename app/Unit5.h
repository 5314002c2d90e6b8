// The About dialog: product name, program version, operating system, registered owner and
// organisation, and links to the maker's web site and support mail.
#pragma once

#include "SystemInfo.h"

#include <QDialog>

#include <string>

class QLabel;
class QPushButton;

namespace zt40 {

class TForm5 : public QDialog {
    Q_OBJECT
public:
    // Reads the running system.
    explicit TForm5(QWidget* parent = nullptr);
    // Reads the given system information (tests hand in a recorded one).
    explicit TForm5(const platform::SystemInfo& system, QWidget* parent = nullptr);

    // Fills every variable text anew; runs on every show.
    void FormShow();
    // The program's product version as "a.b.c.d", "" when it cannot be read.
    std::string GetVersionText() const;
    void webClick();
    void mailClick();

    // The maker's addresses.
    static constexpr const char* WebAddress = "https://www.tarvelon.example/";
    static constexpr const char* SupportAddress = "support@tarvelon.example";

    // The operating system's name for a major and minor version, "" when unknown.
    static std::string osName(std::uint32_t major, std::uint32_t minor);
    // The name, then ", Version " and major.minor.build (the build's low 16 bits).
    static std::string osText(const platform::OsVersionInfo& version);
    // Every "&" doubled, so that a caption shows the text as it is.
    static std::string doubledAmpersands(const std::string& text);
    // Four numbers joined by ".".
    static std::string versionText(const platform::ProgramVersion& version);

    // A label's caption (Windows-1252, "&&" for one ampersand), as last set.
    static std::string caption(const QLabel* label);

    QLabel* Image1 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label9 = nullptr;
    QLabel* Label10 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* sys = nullptr;
    QLabel* sp = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* text1 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* name = nullptr;
    QLabel* org = nullptr;
    QPushButton* ok = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* web = nullptr;
    QLabel* mail = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();

    const platform::SystemInfo& system_;
};

} // namespace zt40
