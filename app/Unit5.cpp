#include "Unit5.h"

#include "Controls.h"
#include "Cp1252.h"
#include "Languages.h"
#include "Shell.h"

#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>

#include <array>

namespace zt40 {

namespace {

constexpr int ClientWidth = 514;
constexpr int ClientHeight = 297;
const QColor DesignBlue(0, 0, 255);
const QColor BannerColour(65, 120, 184);

constexpr const char* CaptionProperty = "caption";

// The labels that follow the language: Label7 (licensee heading) and Label4 (author).
struct LanguageLabels {
    const char* licensee;
    const char* author;
};
constexpr std::array<LanguageLabels, LanguageCount> LanguageTexts = {{
    {"Licensee", "Author: Jorin Valbek"},
    {"Lizenznehmer", "Autor: Jorin Valbek"},
    {"Licenci\xE9", "Auteur: Jorin Valbek"},
}};

// What a caption shows: "&&" is one ampersand, a single "&" marks the next character as the
// accelerator and is not shown.
QString shownText(std::string_view caption) {
    std::string shown;
    shown.reserve(caption.size());
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&' && i + 1 < caption.size())
            ++i;
        else if (caption[i] == '&')
            continue;
        shown.push_back(caption[i]);
    }
    return platform::fromCp1252(shown);
}

void setCaption(QLabel* label, const std::string& caption) {
    label->setProperty(CaptionProperty, QByteArray::fromStdString(caption));
    setLabelText(label, shownText(caption));
}

// A font of the given cell height in pixels, as a Windows font height counts them (the em
// is smaller by the internal leading), so the product name fits its fixed-size labels.
QFont cellHeightFont(int pixels, bool bold, const QString& family = QString()) {
    QFont font;
    if (!family.isEmpty())
        font.setFamily(family);
    font.setBold(bold);
    int size = pixels;
    do {
        font.setPixelSize(size);
    } while (QFontMetrics(font).height() > pixels && --size > pixels / 2);
    return font;
}

// A label that grows with its caption.
QLabel* captionedLabel(QWidget* parent, const char* objectName, const std::string& caption, int x,
                       int y) {
    QLabel* label = autoLabel(parent, objectName, QString(), x, y);
    setCaption(label, caption);
    return label;
}

// A label of fixed size.
QLabel* fixedLabel(QWidget* parent, const char* objectName, const std::string& caption, int x,
                   int y, int w, int h) {
    auto* label = new QLabel(parent);
    label->setObjectName(objectName);
    label->setGeometry(x, y, w, h);
    setCaption(label, caption);
    return label;
}

// Narrows a label's font a little where the fallback fonts run wider than the original ones,
// so that the whole caption stays readable: inside the label's width for a fixed-size label,
// inside the window for one that grows.
void fitIntoWidth(QLabel* label, int right) {
    const bool fixed = !label->property("autoSize").toBool();
    const auto tooWide = [&] {
        const int width = QFontMetrics(label->font()).horizontalAdvance(label->text());
        return fixed ? width > label->width() : label->x() + width > right;
    };
    QFont font = label->font();
    while (tooWide()) {
        if (font.pixelSize() > 8)
            font.setPixelSize(font.pixelSize() - 1);
        else if (font.pixelSize() <= 0 && font.pointSizeF() > 6.0)
            font.setPointSizeF(font.pointSizeF() - 0.25);
        else
            break;
        label->setFont(font);
    }
    if (!fixed)
        label->adjustSize();
}

} // namespace

TForm5::TForm5(QWidget* parent) : TForm5(platform::systemInfo(), parent) {}

TForm5::TForm5(const platform::SystemInfo& system, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      system_(system) {
    setObjectName("Form5");
    setWindowTitle("Info");
    setFixedSize(ClientWidth, ClientHeight);
    // Where "MS Sans Serif" is missing, the Arial-metric sans comes closest to its widths.
    QFont font;
    font.setFamilies({"MS Sans Serif", "Liberation Sans", "Arial"});
    font.setPointSize(8);
    setFont(font);
    createControls();
    centreOnScreen(this);
}

void TForm5::createControls() {
    Image1 = new QLabel(this);
    Image1->setObjectName("Image1");
    Image1->setGeometry(16, 16, 124, 31);
    Image1->setAttribute(Qt::WA_TranslucentBackground);
    Image1->setPixmap(QPixmap(":/images/logo.png"));

    Label6 = fixedLabel(this, "Label6", "DORVANEX II", 160, 8, 185, 37);
    Label6->setFont(cellHeightFont(32, true, "Arial"));
    Label9 = captionedLabel(this, "Label9", "\xAE", 352, 8);
    Label9->setFont(cellHeightFont(16, false));
    Label9->adjustSize();
    Label10 = fixedLabel(this, "Label10", "ZT 40", 384, 8, 113, 37);
    Label10->setFont(cellHeightFont(32, true, "Arial"));
    fitIntoWidth(Label6, ClientWidth);
    fitIntoWidth(Label10, ClientWidth);
    for (QLabel* label : {Label6, Label9, Label10})
        setTextColour(label, DesignBlue);

    Label2 = captionedLabel(this, "Label2",
                            "Copyright \xA9 TARVELON GMBH. Alle Rechte vorbehalten.", 16, 88);
    sys = captionedLabel(this, "sys", "Windows 95/98/NT", 16, 120);
    sp = captionedLabel(this, "sp", "Service Pack", 16, 136);
    Label4 = captionedLabel(this, "Label4", "Autor: Jorin Valbek", 16, 168);
    text1 = captionedLabel(this, "text1", "Version: 0.16.D", 16, 192);
    Label7 = captionedLabel(this, "Label7", "Lizenznehmer:", 16, 216);
    name = captionedLabel(this, "name", "Name", 16, 240);
    org = captionedLabel(this, "org", "Organisation", 16, 256);

    ok = new QPushButton("OK", this);
    ok->setObjectName("ok");
    ok->setGeometry(408, 144, 73, 25);
    ok->setDefault(true); // Enter; Esc closes every dialog
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    Label3 = captionedLabel(this, "Label3", "Internet:", 352, 224);
    web = captionedLabel(this, "web", "TARVELON GMBH Website", 352, 240);
    web->setToolTip("Tarvelon Website aufrufen");
    mail = captionedLabel(this, "mail", std::string("EMail (") + SupportAddress + ")", 352, 256);
    mail->setToolTip("EMail an Support senden");
    for (QLabel* link : {web, mail}) {
        QFont linkFont = link->font();
        linkFont.setUnderline(true);
        link->setFont(linkFont);
        setTextColour(link, DesignBlue);
        link->setCursor(Qt::PointingHandCursor);
        fitIntoWidth(link, ClientWidth - 2);
        link->installEventFilter(this);
    }
}

void TForm5::showEvent(QShowEvent* event) {
    FormShow();
    QDialog::showEvent(event);
}

bool TForm5::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (watched == web) {
            webClick();
            return true;
        }
        if (watched == mail) {
            mailClick();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TForm5::FormShow() {
    // 1. The two labels that follow the language; other numbers leave them as they are.
    if (ActiveLanguage >= 0 && ActiveLanguage < static_cast<int>(LanguageTexts.size())) {
        const LanguageLabels& texts = LanguageTexts[static_cast<std::size_t>(ActiveLanguage)];
        setCaption(Label7, texts.licensee);
        setCaption(Label4, texts.author);
    }

    // 2. The product name in the banner colour of the main window.
    for (QLabel* label : {Label6, Label9, Label10})
        setTextColour(label, BannerColour);

    // 3. and 4. The operating system and its text.
    const platform::OsVersionInfo version = system_.osVersion();
    const std::string text = osText(version);

    // 5. The key that holds the registered owner depends on the family.
    const char* key = nullptr;
    switch (version.platformId) {
    case platform::PlatformWin9x:
        key = platform::RegistryKeyWin9x;
        setCaption(sys, text);
        setCaption(sp, "");
        break;
    case platform::PlatformWinNT:
        key = platform::RegistryKeyWinNT;
        setCaption(sys, text);
        setCaption(sp, version.csdVersion);
        break;
    default:
        // Not Windows: the system names itself, and has no service packs.
        if (!version.systemText.empty()) {
            setCaption(sys, version.systemText);
            setCaption(sp, "");
        }
        break;
    }

    // 6. Registered owner and organisation; what cannot be read keeps its caption.
    if (key != nullptr) {
        if (const std::optional<platform::RegisteredUser> user = system_.registryUser(key)) {
            setCaption(name, doubledAmpersands(user->owner));
            setCaption(org, doubledAmpersands(user->organization));
        }
    } else {
        if (const std::optional<std::string> fullName = system_.accountFullName())
            setCaption(name, doubledAmpersands(*fullName));
        if (const std::optional<std::string> organization = system_.environmentOrganization())
            setCaption(org, doubledAmpersands(*organization));
    }

    // 7. The program's version.
    setCaption(text1, "Programm-Version: " + GetVersionText());
}

std::string TForm5::GetVersionText() const {
    const std::optional<platform::ProgramVersion> version = system_.programVersion();
    return version ? versionText(*version) : std::string();
}

void TForm5::webClick() {
    platform::openUrl(WebAddress);
}

void TForm5::mailClick() {
    platform::openUrl(std::string("mailto:") + SupportAddress);
}

std::string TForm5::osName(std::uint32_t major, std::uint32_t minor) {
    struct Name {
        std::uint32_t major;
        std::uint32_t minor;
        const char* name;
    };
    static constexpr std::array<Name, 8> names = {{
        {6, 1, "Microsoft Windows 7 "},
        {6, 0, "Microsoft Windows Vista "},
        {5, 2, "Windows Server 2003"},
        {5, 1, "Windows XP"},
        {5, 0, "Windows 2000"},
        {4, 90, "Windows Me"},
        {4, 10, "Windows 98"},
        {4, 0, "Windows NT/95"},
    }};
    for (const Name& n : names) {
        if (n.major == major && n.minor == minor)
            return n.name;
    }
    return {};
}

std::string TForm5::osText(const platform::OsVersionInfo& version) {
    return osName(version.majorVersion, version.minorVersion) + ", Version " +
           std::to_string(version.majorVersion) + "." + std::to_string(version.minorVersion) + "." +
           std::to_string(version.buildNumber & 0xFFFFu);
}

std::string TForm5::doubledAmpersands(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        out.push_back(c);
        if (c == '&')
            out.push_back('&');
    }
    return out;
}

std::string TForm5::versionText(const platform::ProgramVersion& version) {
    // All four numbers in full: cutting the second and fourth to 8 bits would show 300 as 44.
    return std::to_string(version[0]) + "." + std::to_string(version[1]) + "." +
           std::to_string(version[2]) + "." + std::to_string(version[3]);
}

std::string TForm5::caption(const QLabel* label) {
    return label->property(CaptionProperty).toByteArray().toStdString();
}

} // namespace zt40
