#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "tests/ui/SmfFile.h"
#include "ui/ZorvatToneDoc.h"

namespace {

QByteArray TwoTrackSong()
{
    CTestTrack conductor;
    conductor.Tempo(0, 500000).End(960);
    CTestTrack melody;
    melody.Program(0, 0, 0).NoteOn(0, 0, 60).NoteOff(480, 0, 60).End();
    return SmfBytes(1, 480, {conductor, melody});
}

class ZorvatToneDocTest : public ::testing::Test {
protected:
    QString Path(const char* name) const { return m_dir.filePath(QString::fromUtf8(name)); }
    std::string Write(const char* name, const QByteArray& bytes) const
    {
        EXPECT_TRUE(WriteBytes(Path(name), bytes));
        return Path(name).toStdString();
    }

    QTemporaryDir m_dir;
    CZorvatToneDoc m_doc;
};

struct RefusedFile {
    const char* name;
    QByteArray bytes;
    CZorvatToneDoc::OpenFailure failure;
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

TEST_F(ZorvatToneDocTest, RefusesEveryOtherFileAndKeepsTheSongAndPath)
{
    const std::string good = Write("good.mid", TwoTrackSong());
    ASSERT_TRUE(m_doc.OnOpenDocument(good));
    const std::vector<RefusedFile> cases = {
        {"empty file", QByteArray(), CZorvatToneDoc::OpenFailure::kNotMidi},
        {"three bytes of the magic", QByteArray("MTh"), CZorvatToneDoc::OpenFailure::kNotMidi},
        {"lower-case magic", QByteArray("mthd\0\0\0\6", 8), CZorvatToneDoc::OpenFailure::kNotMidi},
        {"a RIFF file", QByteArray("RIFF....RMIDdata"), CZorvatToneDoc::OpenFailure::kNotMidi},
        {"a text file", QByteArray("hello, world\n"), CZorvatToneDoc::OpenFailure::kNotMidi},
    };
    for (const RefusedFile& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = Write("refused.mid", c.bytes);
        EXPECT_FALSE(m_doc.OnOpenDocument(path));
        EXPECT_EQ(m_doc.GetOpenFailure(), c.failure);
        EXPECT_EQ(m_doc.GetPathName(), good);
        EXPECT_EQ(m_doc.GetSong().GetTrackList().GetTrackCount(), 2);
    }
}

TEST_F(ZorvatToneDocTest, AFileThatCannotBeReadSaysSoAndChangesNothing)
{
    const std::string good = Write("good.mid", TwoTrackSong());
    ASSERT_TRUE(m_doc.OnOpenDocument(good));
    EXPECT_FALSE(m_doc.OnOpenDocument(Path("missing.mid").toStdString()));
    EXPECT_EQ(m_doc.GetOpenFailure(), CZorvatToneDoc::OpenFailure::kCannotRead);
    EXPECT_FALSE(m_doc.OnOpenDocument(m_dir.path().toStdString()));
    EXPECT_EQ(m_doc.GetPathName(), good);
    EXPECT_EQ(m_doc.GetSong().GetTrackList().GetTrackCount(), 2);
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
    EXPECT_EQ(ReadBytes(Path("copy.mid")), original);
    EXPECT_FALSE(QFile::exists(Path("copy.mid.part")));
    EXPECT_EQ(m_doc.GetPathName(), Path("tune.mid").toStdString());
}

TEST_F(ZorvatToneDocTest, AFailedSaveLeavesTheTargetAsItWas)
{
    ASSERT_TRUE(m_doc.OnOpenDocument(Write("tune.mid", TwoTrackSong())));
    EXPECT_FALSE(m_doc.OnSaveDocument(Path("no-such-dir/copy.mid").toStdString()));
    // A directory in the way of the rename: the part file is written, the rename fails.
    ASSERT_TRUE(QDir(m_dir.path()).mkpath(QStringLiteral("taken.mid/inner")));
    EXPECT_FALSE(m_doc.OnSaveDocument(Path("taken.mid").toStdString()));
    EXPECT_FALSE(QFile::exists(Path("taken.mid.part")));
    EXPECT_TRUE(QDir(Path("taken.mid/inner")).exists());
}
