// The command-line batch mode: what it refuses before converting anything, and a run over a
// folder of generated pictures with a broken file among them.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <cstdio>

#include "batch/batch_mode.h"
#include "converter_test_support.h"
#include "core/image_io.h"
#include "imagefile/img_file.h"

namespace {

struct BatchRun {
    int status;
    std::string out;
    std::string err;
};

BatchRun run(const QStringList& args)
{
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    BatchRun r;
    r.status = vmbatch::RunBatch(QStringList{QStringLiteral("Velmora")} + args, out, err);
    for (auto [f, s] : {std::pair{out, &r.out}, std::pair{err, &r.err}}) {
        std::rewind(f);
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s->append(buf, n);
        std::fclose(f);
    }
    return r;
}

QString q(const std::string& s)
{
    return QString::fromStdString(s);
}

TEST(BatchMode, RefusesBadCommandLinesWithStatusTwo)
{
    const QString src = q(vt::fresh_dir("batch-usage-src"));
    const QString dst = q(vt::fresh_dir("batch-usage-dst"));
    const QString base = QStringLiteral("--batch --src %1 --dst %2 ").arg(src, dst);
    const struct {
        const char* args;
        const char* complaint;
    } cases[] = {
        {"--batch --src /tmp", "--src and --dst are required"},
        {"--format gif", "unknown --format"},
        {"--aspect wide", "unknown --aspect"},
        {"--size 720", "--size wants WxH"},
        {"--size 0x486", "--size wants WxH"},
        {"--size 2000x486", "--size wants WxH"},
        {"--cut 1,2,3", "--cut wants"},
        {"--cut 0,0,-1,5", "--cut wants"},
        {"--passes 4", "--passes wants 0 to 3"},
        {"--key dark", "--key wants linear or self"},
        {"--preset 3", "--preset wants 1 or 2"},
        {"--aspect widen --passes 1", "need --aspect custom"},
        {"--bogus", "Unknown option"},
    };
    for (const auto& c : cases) {
        const QString line = QString::fromUtf8(c.args).startsWith(QStringLiteral("--batch"))
                                 ? QString::fromUtf8(c.args)
                                 : base + QString::fromUtf8(c.args);
        const BatchRun r = run(line.split(QLatin1Char(' '), Qt::SkipEmptyParts));
        EXPECT_EQ(r.status, vmbatch::kUsageError) << c.args;
        EXPECT_NE(r.err.find(c.complaint), std::string::npos) << c.args << ": " << r.err;
    }
    const BatchRun missing = run({"--batch", "--src", "/no/such/folder", "--dst", dst});
    EXPECT_EQ(missing.status, vmbatch::kUsageError);
    EXPECT_NE(missing.err.find("source folder not found"), std::string::npos);
    const BatchRun no_dst = run({"--batch", "--src", src, "--dst", dst + "/absent"});
    EXPECT_EQ(no_dst.status, vmbatch::kUsageError);
    EXPECT_NE(no_dst.err.find("destination folder not found"), std::string::npos);

    const BatchRun help = run({"--help"});
    EXPECT_EQ(help.status, vmbatch::kAllConverted);
    EXPECT_NE(help.out.find("--preset"), std::string::npos);

    const BatchRun empty = run({"--batch", "--src", src, "--dst", dst});
    EXPECT_EQ(empty.status, vmbatch::kAllConverted);
    EXPECT_NE(empty.out.find("No pictures"), std::string::npos);
}

TEST(BatchMode, ConvertsAFolderAndCountsFailures)
{
    const std::string src = vt::fresh_dir("batch-run-src");
    const std::string dst = vt::fresh_dir("batch-run-dst");
    CKrFrameBuffer hd(1920, 1080, 1);
    hd.ClearCol(0xFF00FF00u);
    CKrFrameBuffer small(100, 50, 1);
    small.ClearCol(0x80FF0000u);
    for (auto [name, fb] : {std::pair{"hd.tga", &hd}, std::pair{"small.BMP", &small}, std::pair{"s2.pct", &small}}) {
        CImgFile f;
        ASSERT_EQ(f.SaveImage(fb, CString(src + "/" + name)), 0) << name;
    }
    vt::write_file(src + "/broken.jpg", "no picture here");
    vt::write_file(src + "/notes.txt", "ignored");
    const std::string ini = zt::temp_path("batch-Velmora.INI");
    vt::write_file(ini, "[GENERAL]\nW2=360\nH2=243\nCUTX2=240\nCUTW2=1440\nCUTH2=1080\nFILTER2=9\nKEY2=1\n");

    const BatchRun r = run({"--batch", "--src", q(src), "--dst", q(dst), "--preset", "2", "--ini", q(ini), "--format",
                            "tga-raw"});
    EXPECT_EQ(r.status, vmbatch::kSomeFailed) << r.out << r.err;
    EXPECT_NE(r.out.find("3 of 4 converted, 1 failed"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("broken.jpg -> " + dst + "/broken.tga: failed: 画像の読込に失敗しました。"), std::string::npos)
        << r.out;
    EXPECT_EQ(vm::probe_image_size(dst + "/hd.tga"), CSize(360, 243));
    EXPECT_EQ(vm::probe_image_size(dst + "/small.tga"), CSize(360, 243));
    EXPECT_EQ(vm::probe_image_size(dst + "/s2.tga"), CSize(360, 243));
    // Preset 2 asks for key mode 1: the half-keyed picture went onto opaque black.
    vm::LoadedImage out;
    ASSERT_TRUE(vm::load_image(dst + "/small.tga", out));
    EXPECT_EQ(zt::px(*out.image(), 10, 10) >> 24, 0xFFu);

    // Named files, an explicit treatment, and a name that is not a picture type.
    const BatchRun named = run({"--batch", "--src", q(src), "--dst", q(dst), "--aspect", "widen", "--format", "jpg",
                                "small.BMP", "notes.txt"});
    EXPECT_EQ(named.status, vmbatch::kSomeFailed);
    EXPECT_NE(named.out.find("notes.txt -> " + dst + "/notes.jpg: failed: not a .tga"), std::string::npos) << named.out;
    EXPECT_EQ(vm::probe_image_size(dst + "/small.jpg"), CSize(112, 50));

    const BatchRun ok = run({"--batch", "--src", q(src), "--dst", q(dst), "--size", "72x48", "hd.tga"});
    EXPECT_EQ(ok.status, vmbatch::kAllConverted) << ok.out << ok.err;
    EXPECT_EQ(vm::probe_image_size(dst + "/hd.tga"), CSize(72, 48));
}

TEST(BatchMode, TellsBatchFromWindowCommandLines)
{
    const char* window[] = {"Velmora", "-style", "fusion"};
    const char* batch[] = {"Velmora", "--src", "a", "--batch"};
    const char* help[] = {"Velmora", "--help"};
    EXPECT_FALSE(vmbatch::WantsBatch(3, const_cast<char**>(window)));
    EXPECT_TRUE(vmbatch::WantsBatch(4, const_cast<char**>(batch)));
    EXPECT_TRUE(vmbatch::WantsBatch(2, const_cast<char**>(help)));
}

} // namespace
