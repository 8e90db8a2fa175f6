// Export of what a view shows: the CSV of an FFT and a PSD of a known tone
// reads back to the values the view shows, with the provenance; the
// spectrogram's CSV has one row per segment and one column per bin; a PNG
// follows the device pixel ratio; a folder that cannot be written gives one
// box and no file; an existing file is replaced only when the user agrees.
#include "csvtext.h"
#include "frequencyviewfixture.h"

#include "platform/messagebox.h"
#include "shell/readonlyfolder.h"
#include "views/fftview.h"
#include "views/psdview.h"
#include "views/spgview.h"
#include "views/viewexport.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

namespace {

constexpr double kDt = 1.0 / 1024; // 1 Hz bins at N = 1024
constexpr int kN = 1024;

class ViewExportTest : public SpectrumFixture {
protected:
    // 2 V at 100 Hz on channel 0, 0.5 V at 300 Hz on channel 1, four segments.
    void CaptureTones()
    {
        const int length = 4 * kN;
        Capture({Tone(length, kDt, 100, 2.0, 0.0), Tone(length, kDt, 300, 0.5, 0.0)}, kDt, kN, kN, 4);
    }
    // Every row: x is the bin's frequency, each trace's cell reads back to
    // the very float the view shows.
    static void ExpectRowsEqualDisplay(const CsvText& csv, CGraphWnd& view)
    {
        ASSERT_EQ(int(csv.rows.size()), view.PointCount());
        for (int i = 0; i < view.PointCount(); ++i) {
            ASSERT_DOUBLE_EQ(csv.rows[size_t(i)][0].toDouble(), i * 1.0) << i;
            ASSERT_EQ(csv.Float(i, 1), view.Display(0)[i]) << i;
            ASSERT_EQ(csv.Float(i, 2), view.Display(1)[i]) << i;
        }
    }
};

TEST_F(ViewExportTest, SpectrumCsvReadsBackToTheShownValuesWithItsProvenance)
{
    CaptureTones();
    auto* fft = Make<CFftView>();
    fft->Analyse();
    const CsvText csv(ViewExport::Csv(*fft, QDateTime(QDate(2026, 12, 9), QTime(3, 15, 0))));
    EXPECT_EQ(csv.header, QStringList({"f [Hz]", "In 1 [V]", "In 2 [V]"}));
    ExpectRowsEqualDisplay(csv, *fft);
    EXPECT_NEAR(csv.Float(100, 1), 2.0, 1e-4);
    EXPECT_NEAR(csv.Float(300, 2), 0.5, 1e-4);
    EXPECT_TRUE(csv.Comment("KRV ").startsWith("KRV 1."));
    EXPECT_EQ(csv.Comment("date:"), "date: 2026-12-09T03:15:00");
    EXPECT_EQ(csv.Comment("view:"), "view: FFT");
    EXPECT_EQ(csv.Comment("channels:"), "channels: In 1 (V), In 2 (V)");
    EXPECT_EQ(csv.Comment("sample interval:"), "sample interval: 0.0009765625 s");
    EXPECT_EQ(csv.Comment("points:"), "points: 1024, overlap: 50 %, averages: 4");
    EXPECT_FALSE(csv.Comment("panel: Wnd:").isEmpty()) << "the window is among the panel's settings";
    EXPECT_FALSE(csv.Comment("record:").isEmpty());
    EXPECT_EQ(csv.Comment("lost samples in record:"), "lost samples in record: 0");

    auto* psd = Make<CPsdView>();
    psd->Analyse();
    const CsvText density(ViewExport::Csv(*psd));
    EXPECT_EQ(density.Comment("view:"), "view: PSD");
    ASSERT_EQ(density.header.size(), 3);
    EXPECT_TRUE(density.header[1].startsWith("In 1 [")) << density.header[1].toStdString();
    ExpectRowsEqualDisplay(density, *psd);
}

TEST_F(ViewExportTest, SpectrogramHasOneRowPerSegmentAndOneColumnPerBin)
{
    const int segments = 6;
    Capture({Tone(segments * kN / 2 + kN / 2, kDt, 100, 1.0, 0.0)}, kDt, kN, kN / 2, 0);
    m_frame.channels = {0, -1};
    auto* view = Make<CSpgView>();
    view->Analyse();
    ASSERT_EQ(view->Rows(), segments);
    const CsvText csv(ViewExport::Csv(*view));
    ASSERT_EQ(csv.header.size(), 2 + view->Bins());
    EXPECT_EQ(csv.header[1], "t [s]");
    EXPECT_EQ(csv.header[2 + 100], "100 [Hz]");
    ASSERT_EQ(int(csv.rows.size()), segments);
    for (int row = 0; row < segments; ++row) {
        EXPECT_DOUBLE_EQ(csv.rows[size_t(row)][1].toDouble(), row * (kN / 2) * kDt);
        for (int bin = 0; bin < view->Bins(); ++bin)
            ASSERT_EQ(csv.Float(row, 2 + bin), view->Row(0, row)[bin]) << row << ", " << bin;
    }
}

TEST_F(ViewExportTest, PictureFollowsTheDevicePixelRatio)
{
    CaptureTones();
    auto* view = Make<CFftView>();
    view->Analyse();
    QTemporaryDir dir;
    const QString path = dir.filePath("fft.png");
    ASSERT_TRUE(ViewExport::Save(*view, ViewExport::Kind::Png, path, nullptr));
    QImage picture(path);
    const double ratio = view->devicePixelRatioF();
    // The suite runs this case a second time with QT_SCALE_FACTOR=2.
    EXPECT_EQ(ratio, qEnvironmentVariable("QT_SCALE_FACTOR", "1").toDouble());
    EXPECT_EQ(picture.width(), qRound(view->width() * ratio));
    EXPECT_EQ(picture.height(), qRound(view->height() * ratio));
}

TEST_F(ViewExportTest, UnwritableFolderGivesOneBoxAndNoFile)
{
    CaptureTones();
    auto* view = Make<CFftView>();
    view->Analyse();
    QTemporaryDir dir;
    const QString folder = dir.filePath("locked");
    ASSERT_TRUE(QDir().mkpath(folder));
    ReadOnlyFolder locked(folder.toStdString(), {}, 1 << 20);
    ASSERT_TRUE(locked.Made()) << locked.Reason();
    MessageBoxRecorder boxes;
    const QString path = folder + "/fft.csv";
    EXPECT_FALSE(ViewExport::Save(*view, ViewExport::Kind::Csv, path, nullptr));
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_TRUE(boxes.Boxes()[0].text.contains(path)) << boxes.Boxes()[0].text.toStdString();
    EXPECT_TRUE(QDir(folder).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

TEST_F(ViewExportTest, ExistingFileIsReplacedOnlyWhenTheUserAgrees)
{
    CaptureTones();
    auto* view = Make<CFftView>();
    view->Analyse();
    QTemporaryDir dir;
    const QString path = dir.filePath("fft.csv");
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("kept\n");
    }
    Ctx().chosenDataPath = dir.path();
    ViewExport::SetPathChooser([&](QWidget*, const QString& suggested, ViewExport::Kind) {
        EXPECT_TRUE(suggested.startsWith(dir.path() + "/FFT_")) << suggested.toStdString();
        EXPECT_TRUE(suggested.endsWith(".csv"));
        return path;
    });
    MessageBoxRecorder boxes;
    boxes.QueueAnswer(IDNO);
    EXPECT_FALSE(ViewExport::ExportAs(*view, ViewExport::Kind::Csv));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "kept\n");
    file.close();
    boxes.QueueAnswer(IDYES);
    EXPECT_TRUE(ViewExport::ExportAs(*view, ViewExport::Kind::Csv));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(CsvText(QString::fromUtf8(file.readAll())).rows.size(), size_t(kN / 2));
    EXPECT_EQ(boxes.Boxes().size(), 2u);
    ViewExport::SetPathChooser(nullptr);
}

} // namespace
