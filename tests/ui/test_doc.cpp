#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "tests/support/MidiBytes.h"
#include "tests/support/QtFiles.h"
#include "ui/ZorvatToneDoc.h"

namespace {

QByteArray TwoTrackSong()
{
    CTrackBytes conductor;
    conductor.Tempo(0, 500000).End(960);
    CTrackBytes melody;
    melody.Program(0, 0, 0).On(0, 0, 60).Off(480, 0, 60).End();
    return ToQByteArray(SmfBytes(480, {conductor, melody}));
}

class ZorvatToneDocTest : public ::testing::Test {
protected:
    QString Path(const char* name) const { return m_dir.filePath(QString::fromUtf8(name)); }
    std::string Write(const char* name, const QByteArray& bytes) const
    {
        EXPECT_TRUE(WriteFile(Path(name), bytes));
        return Path(name).toStdString();
    }

    QTemporaryDir m_dir;
    CZorvatToneDoc m_doc;
};

} // namespace

TEST_F(ZorvatToneDocTest, OpensAFileThatBeginsWithMThdAndTakesItsPath)
{
    const std::string path = Write("tune.mid", TwoTrackSong());
    ASSERT_TRUE(m_doc.OnOpenDocument(path));
    EXPECT_EQ(m_doc.GetSong().GetTrackList().GetTrackCount(), 2);
    EXPECT_EQ(m_doc.GetSong().GetDivision(), 480);
    EXPECT_EQ(m_doc.GetPathName(), path);
    EXPECT_EQ(m_doc.GetTitle(), "tune");
    EXPECT_EQ(m_doc.GetOpenFailure(), CZorvatToneDoc::OpenFailure::kNone);
}

// Which files LoadSongFile refuses is the song tests' matter; here, what the document
// makes of a refusal.
TEST_F(ZorvatToneDocTest, ARefusedFileSaysWhyAndChangesNothing)
{
    const std::string good = Write("good.mid", TwoTrackSong());
    ASSERT_TRUE(m_doc.OnOpenDocument(good));
    const struct {
        const char* name;
        std::string path;
        CZorvatToneDoc::OpenFailure failure;
    } cases[] = {
        {"a RIFF file", Write("riff.mid", QByteArray("RIFF....RMIDdata")), CZorvatToneDoc::OpenFailure::kNotMidi},
        {"a missing file", Path("missing.mid").toStdString(), CZorvatToneDoc::OpenFailure::kCannotRead},
        {"a directory", m_dir.path().toStdString(), CZorvatToneDoc::OpenFailure::kCannotRead},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(m_doc.OnOpenDocument(c.path));
        EXPECT_EQ(m_doc.GetOpenFailure(), c.failure);
        EXPECT_EQ(m_doc.GetPathName(), good);
        EXPECT_EQ(m_doc.GetSong().GetTrackList().GetTrackCount(), 2);
    }
}

TEST_F(ZorvatToneDocTest, ADamagedFileLoadsAsFarAsItCanBeRead)
{
    QByteArray bytes = TwoTrackSong();
    bytes.chop(20); // into the second track's chunk header
    const std::string path = Write("cut.mid", bytes);
    EXPECT_TRUE(m_doc.OnOpenDocument(path));
    EXPECT_EQ(m_doc.GetSong().GetTrackList().GetTrackCount(), 1);
}

TEST_F(ZorvatToneDocTest, ANewDocumentIsEmptyAndHasNoPath)
{
    ASSERT_TRUE(m_doc.OnOpenDocument(Write("tune.mid", TwoTrackSong())));
    EXPECT_TRUE(m_doc.OnNewDocument());
    EXPECT_EQ(m_doc.GetSong().GetTrackList().GetTrackCount(), 0);
    EXPECT_EQ(m_doc.GetPathName(), "");
    EXPECT_EQ(m_doc.GetTitle(), "");
}

TEST_F(ZorvatToneDocTest, SavingWritesTheSongThatLoadsBackTheSame)
{
    const QByteArray original = TwoTrackSong();
    ASSERT_TRUE(m_doc.OnOpenDocument(Write("tune.mid", original)));
    ASSERT_TRUE(m_doc.OnSaveDocument(Path("copy.mid").toStdString()));
    EXPECT_EQ(ReadFile(Path("copy.mid")), original);
    EXPECT_FALSE(QFile::exists(Path("copy.mid.part")));
    EXPECT_EQ(m_doc.GetPathName(), Path("tune.mid").toStdString());
}

TEST_F(ZorvatToneDocTest, SavingThroughALinkReplacesTheFileItNamesAndKeepsTheLink)
{
    const QByteArray original = TwoTrackSong();
    ASSERT_TRUE(m_doc.OnOpenDocument(Write("tune.mid", original)));
    Write("real.mid", QByteArray("an older song"));
    ASSERT_TRUE(QFile::link(QStringLiteral("real.mid"), Path("link.mid")));
    ASSERT_TRUE(m_doc.OnSaveDocument(Path("link.mid").toStdString()));
    EXPECT_EQ(QFileInfo(Path("link.mid")).symLinkTarget(), Path("real.mid"));
    EXPECT_EQ(ReadFile(Path("real.mid")), original);
}

TEST_F(ZorvatToneDocTest, AFailedSaveLeavesTheTargetAsItWas)
{
    ASSERT_TRUE(m_doc.OnOpenDocument(Write("tune.mid", TwoTrackSong())));
    EXPECT_FALSE(m_doc.OnSaveDocument(Path("no-such-dir/copy.mid").toStdString()));
    // A directory in the way is refused before anything is written.
    ASSERT_TRUE(QDir(m_dir.path()).mkpath(QStringLiteral("taken.mid/inner")));
    EXPECT_FALSE(m_doc.OnSaveDocument(Path("taken.mid").toStdString()));
    EXPECT_FALSE(QFile::exists(Path("taken.mid.part")));
    EXPECT_TRUE(QDir(Path("taken.mid/inner")).exists());
}
