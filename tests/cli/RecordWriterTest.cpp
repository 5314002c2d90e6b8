// The logger's output writer on its own, where the sync of every record can be watched: a
// child process would hide it.
#include "RecordWriter.h"

#include "FileSync.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace zt40::test {
namespace {

using namespace std::chrono_literals;

// Every record is on the disk before the next is written: at each sync of the file its size is
// that of the records so far, one more each time; a new file's folder is synced first. (The
// file, opened on its descriptor, is nameless to the hook.)
TEST(RecordWriter, EachRecordIsSyncedBeforeTheNext) {
    QTemporaryDir folder;
    const QString path = folder.filePath("readings.csv");
    std::vector<std::pair<QString, qint64>> syncs; // what was synced, and the file's size then
    platform::setSyncObserver([&](const QString& synced, bool ok) {
        EXPECT_TRUE(ok);
        syncs.emplace_back(synced, QFileInfo(path).size());
    });
    cli::RecordWriter::Settings settings;
    settings.style.format = RecordFormat::Csv;
    settings.path = path.toStdString();
    cli::RecordWriter writer(settings, [] {});
    ASSERT_TRUE(writer.open().ok());
    writer.start();
    const MeasurementRecord reading{"", "", "C", "84.0", QDateTime::currentDateTime(), "ZT40", "1"};
    for (int k = 0; k < 3; ++k) {
        writer.append(reading);
    }
    writer.close();
    cli::RecordWriter::Progress progress;
    for (int wait = 0; wait < 500 && !progress.finished; ++wait) {
        std::this_thread::sleep_for(10ms);
        progress = writer.progress(); // the writer's lock orders its syncs before this
    }
    platform::setSyncObserver({});
    EXPECT_TRUE(progress.failure.ok());
    EXPECT_EQ(progress.written, 3);

    const QString folderPath = QDir(folder.path()).absolutePath();
    const qint64 header = 30;
    const qint64 record = (QFileInfo(path).size() - header) / 3;
    ASSERT_EQ(syncs.size(), 4u);
    EXPECT_EQ(syncs[0].first, folderPath);
    for (qint64 k = 1; k <= 3; ++k) {
        EXPECT_NE(syncs[k].first, folderPath);
        EXPECT_EQ(syncs[k].second, header + k * record) << k;
    }
}

} // namespace
} // namespace zt40::test
