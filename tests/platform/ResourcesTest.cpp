// The compiled-in pictures and the files placed beside the program.
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QPixmap>
#include <QRegularExpression>
#include <QSet>

#include <gtest/gtest.h>

namespace zt40::test {

QString resourceProbeName();

namespace {

struct Picture {
    const char* path;
    int width;
    int height;
};

TEST(Resources, EveryPictureIsThereAtItsSize) {
    ASSERT_EQ(resourceProbeName(), "probe");
    for (const Picture& p :
         {Picture{":/images/banner.png", 709, 65}, Picture{":/images/help.png", 32, 32},
          Picture{":/images/about.png", 32, 32}, Picture{":/images/measure.png", 32, 32},
          Picture{":/images/light_off.png", 32, 16}, Picture{":/images/light_on.png", 32, 16},
          Picture{":/images/logo.png", 124, 31}, Picture{":/images/zt40.png", 64, 64}}) {
        SCOPED_TRACE(p.path);
        const QImage image(QString::fromLatin1(p.path));
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.size(), QSize(p.width, p.height));
    }
}

TEST(Resources, LightGlyphsDifferAndAreNotBlank) {
    const QImage off(":/images/light_off.png");
    const QImage on(":/images/light_on.png");
    EXPECT_NE(off, on);
    // Each glyph has a drawn bulb and a transparent surround.
    for (const QImage& glyph : {off, on}) {
        int opaque = 0;
        int clear = 0;
        for (int y = 0; y < glyph.height(); ++y) {
            for (int x = 0; x < glyph.width(); ++x) {
                const int alpha = qAlpha(glyph.pixel(x, y));
                opaque += alpha > 200 ? 1 : 0;
                clear += alpha < 20 ? 1 : 0;
            }
        }
        EXPECT_GT(opaque, 20);
        EXPECT_GT(clear, 20);
    }
}

QString programFile(const char* name) {
    return QString::fromUtf8(ZT40_TEST_PROGRAM_DIR) + "/" + QString::fromLatin1(name);
}

TEST(ProgramFiles, FlagIconsHoldA32AndA16PixelImage) {
    for (const char* flag : {"CTRUK.ICO", "CTRGERM.ICO", "CTRFRAN.ICO"}) {
        SCOPED_TRACE(flag);
        QImageReader reader(programFile(flag));
        ASSERT_TRUE(reader.canRead()) << reader.errorString().toStdString();
        EXPECT_EQ(reader.format(), "ico");
        QList<QSize> sizes;
        do {
            const QImage image = reader.read();
            ASSERT_FALSE(image.isNull());
            sizes.append(image.size());
        } while (reader.jumpToNextImage());
        EXPECT_TRUE(sizes.contains(QSize(32, 32)));
        EXPECT_TRUE(sizes.contains(QSize(16, 16)));
    }
    // Each flag is its own picture.
    EXPECT_NE(QImage(programFile("CTRUK.ICO")), QImage(programFile("CTRGERM.ICO")));
    EXPECT_NE(QImage(programFile("CTRGERM.ICO")), QImage(programFile("CTRFRAN.ICO")));
}

// A compiled help file: the "ITSF" signature, its title and the pages it was built from.
TEST(ProgramFiles, HelpFilesAreCompiledWithTheirPages) {
    struct Help {
        const char* file;
        const char* title; // the title of the language
    };
    for (const Help& h : {Help{"hilfe.chm", "MIRELANTA ZT 40 Hilfe"},
                          Help{"hilfe_e.chm", "MIRELANTA ZT 40 Help"}}) {
        SCOPED_TRACE(h.file);
        QFile file(programFile(h.file));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        EXPECT_TRUE(bytes.startsWith("ITSF"));
        for (const char* page :
             {"/index.html", "/connect.html", "/measure.html", "/comment.html", "/export.html",
              "/print.html", "/languages.html", "/licences.html"})
            EXPECT_TRUE(bytes.contains(page)) << page;
        EXPECT_TRUE(bytes.contains(h.title));
    }
}

QByteArray readProgramFile(const QString& name) {
    QFile file(QString::fromUtf8(ZT40_TEST_PROGRAM_DIR) + "/" + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The licences page of each language is in the help's contents and on its index page, and the
// licence texts it names are exactly those installed, each one in the program directory.
TEST(ProgramFiles, LicencesPageNamesEveryInstalledLicenceText) {
    const QStringList list = QString::fromUtf8(ZT40_TEST_LICENCE_FILES).split(',');
    const QSet<QString> installed(list.begin(), list.end());
    ASSERT_TRUE(installed.contains("LGPL-3.txt"));
    for (const QString& name : installed)
        EXPECT_FALSE(readProgramFile("licences/" + name).isEmpty()) << name.toStdString();

    static const QRegularExpression code(R"(<code>([A-Za-z0-9.+-]+\.txt)</code>)");
    for (const QString lang : {"de", "en"}) {
        SCOPED_TRACE(lang.toStdString());
        QFile toc(QString::fromUtf8(ZT40_TEST_HELP_SOURCE_DIR) + "/" + lang + "/toc.hhc");
        ASSERT_TRUE(toc.open(QIODevice::ReadOnly));
        EXPECT_TRUE(toc.readAll().contains(R"(<param name="Local" value="licences.html">)"));
        EXPECT_TRUE(readProgramFile("help/" + lang + "/index.html")
                        .contains(R"(<a href="licences.html">)"));

        QSet<QString> named;
        const QString page =
            QString::fromLatin1(readProgramFile("help/" + lang + "/licences.html"));
        for (const QRegularExpressionMatch& m : code.globalMatch(page))
            named.insert(m.captured(1));
        EXPECT_EQ(named, installed);
    }
}

} // namespace

} // namespace zt40::test

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
