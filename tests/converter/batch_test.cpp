// The command-line batch mode: what it refuses before converting anything, and a run over a
// folder of generated pictures with a broken file among them.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

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
    vt::write_file(dst.toStdString() + "/a-file", "x");
    const BatchRun file_dst = run({"--batch", "--src", src, "--dst", dst + "/a-file"});
    EXPECT_EQ(file_dst.status, vmbatch::kUsageError);
    EXPECT_NE(file_dst.err.find("destination is not a folder"), std::string::npos) << file_dst.err;

    // A settings file named on the command line must be there and readable.
    const BatchRun no_ini = run({"--batch", "--src", src, "--dst", dst, "--ini", src + "/absent.INI"});
    EXPECT_EQ(no_ini.status, vmbatch::kUsageError);
    EXPECT_NE(no_ini.err.find("settings file not found"), std::string::npos) << no_ini.err;
    const BatchRun dir_ini = run({"--batch", "--src", src, "--dst", dst, "--ini", src});
    EXPECT_EQ(dir_ini.status, vmbatch::kUsageError);
    EXPECT_NE(dir_ini.err.find("settings file cannot be read"), std::string::npos) << dir_ini.err;

    // A custom size from the settings file that is no picture size is said once, up front.
    const std::string zero_ini = zt::temp_path("batch-zero.INI");
    vt::write_file(zero_ini, "[GENERAL]\nW1=0\n");
    const BatchRun zero = run({"--batch", "--src", src, "--dst", dst, "--ini", q(zero_ini), "--preset", "1"});
    EXPECT_EQ(zero.status, vmbatch::kUsageError);
    EXPECT_NE(zero.err.find("custom output size 0x480"), std::string::npos) << zero.err;

    const BatchRun version = run({"--version"});
    EXPECT_EQ(version.status, vmbatch::kAllConverted);
    EXPECT_NE(version.out.find("Velmora Version 4, 6, 12, 8"), std::string::npos) << version.out;

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
    EXPECT_NE(r.out.find("broken.jpg -> " + dst + "/broken.tga: failed: cannot be loaded"), std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("画像"), std::string::npos) << "one language in this mode: " << r.out;
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

// File arguments name files of --src: a path would read from and write to other folders.
TEST(BatchMode, FileArgumentsMustBePlainNames)
{
    const std::string src = vt::fresh_dir("batch-names-src");
    const std::string dst = vt::fresh_dir("batch-names-dst/inner");
    CKrFrameBuffer pic(8, 8, 1);
    CImgFile f;
    ASSERT_EQ(f.SaveImage(&pic, CString(src + "/p.tga")), 0);
    for (const std::string& arg : {std::string("../p.tga"), std::string("sub/p.tga"), src + "/p.tga",
                                   std::string(".."), std::string("a\\p.tga")}) {
        const BatchRun r = run({"--batch", "--src", q(src), "--dst", q(dst), q(arg)});
        EXPECT_EQ(r.status, vmbatch::kUsageError) << arg;
        EXPECT_NE(r.err.find("is not a plain file name"), std::string::npos) << arg << ": " << r.err;
    }
    EXPECT_TRUE(std::filesystem::is_empty(dst));
    EXPECT_FALSE(std::filesystem::exists(dst + "/../p.tga"));
}

// Outputs never replace each other, nor a source before it is converted; converting into the
// source folder itself must be asked for.
TEST(BatchMode, NoOutputReplacesAnotherOrAPendingSource)
{
    const std::string src = vt::fresh_dir("batch-clash-src");
    const std::string dst = vt::fresh_dir("batch-clash-dst");
    CKrFrameBuffer wide(40, 10, 1), tall(10, 40, 1);
    wide.ClearCol(0xFF102030u);
    tall.ClearCol(0xFF405060u);
    for (auto [name, fb] : {std::pair{"a.jpg", &wide}, std::pair{"a.bmp", &tall}, std::pair{"b.tga", &tall},
                            std::pair{"b.pct", &wide}}) {
        CImgFile f;
        ASSERT_EQ(f.SaveImage(fb, CString(src + "/" + name)), 0) << name;
    }
    // a.bmp is listed before a.jpg: it makes a.tga, and a.jpg may not replace it.
    const BatchRun r = run({"--batch", "--src", q(src), "--dst", q(dst), "--format", "tga"});
    EXPECT_EQ(r.status, vmbatch::kSomeFailed);
    EXPECT_NE(r.out.find("a.jpg -> " + dst + "/a.tga: failed: a.tga was already written from a.bmp"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("2 of 4 converted, 2 failed"), std::string::npos) << r.out;
    EXPECT_EQ(vm::probe_image_size(dst + "/a.tga"), CSize(10, 40));
    EXPECT_EQ(vm::probe_image_size(dst + "/b.tga"), CSize(10, 40));

    const BatchRun same = run({"--batch", "--src", q(src), "--dst", q(src + "/.")});
    EXPECT_EQ(same.status, vmbatch::kUsageError);
    EXPECT_NE(same.err.find("--in-place"), std::string::npos) << same.err;

    // In place, named in an order where b.pct's output would replace the source b.tga before
    // b.tga is converted: b.pct fails, b.tga is converted from its own pixels.
    const BatchRun in_place =
        run({"--batch", "--in-place", "--src", q(src), "--dst", q(src), "--size", "5x5", "b.pct", "b.tga"});
    EXPECT_EQ(in_place.status, vmbatch::kSomeFailed);
    EXPECT_NE(in_place.out.find("b.pct -> " + src + "/b.tga: failed: it would replace b.tga"), std::string::npos)
        << in_place.out;
    vm::LoadedImage b;
    ASSERT_TRUE(vm::load_image(src + "/b.tga", b));
    EXPECT_EQ(b.size(), CSize(5, 5));
    EXPECT_EQ(zt::px(*b.image(), 2, 2), 0xFF405060u);
}

// A dangling link named like a picture is named and skipped; the files after it are converted.
TEST(BatchMode, UnreadableEntriesAreSkippedAndNamed)
{
    const std::string src = vt::fresh_dir("batch-skip-src");
    const std::string dst = vt::fresh_dir("batch-skip-dst");
    CKrFrameBuffer pic(64, 64, 1);
    for (const char* name : {"a.tga", "c.tga", "d.jpg"}) {
        CImgFile f;
        ASSERT_EQ(f.SaveImage(&pic, CString(src + "/" + name)), 0) << name;
    }
    std::filesystem::create_symlink(src + "/gone", src + "/b.tga");
    const BatchRun r = run({"--batch", "--src", q(src), "--dst", q(dst)});
    EXPECT_EQ(r.status, vmbatch::kSomeFailed);
    EXPECT_NE(r.err.find("skipped b.tga: cannot be opened"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("3 of 3 converted, 0 failed, 1 skipped"), std::string::npos) << r.out;
    for (const char* out : {"/a.tga", "/c.tga", "/d.tga"}) EXPECT_TRUE(std::filesystem::exists(dst + out)) << out;
}

// Without a display the window cannot open: the program says so and ends with status 2,
// while --help and --version need no display at all.
TEST(BatchMode, WithoutADisplayTheWindowModeEndsWithAClearError)
{
    const std::string log = zt::temp_path("velmora-nodisplay.txt");
    auto status_of = [&](const std::string& env, const std::string& args) {
        const std::string cmd = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + env + " '" VELMORA_EXE "' " +
                                args + " >'" + log + "' 2>&1";
        const int raw = std::system(cmd.c_str());
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    };
    EXPECT_EQ(status_of("", ""), 2);
    EXPECT_NE(vt::read_file(log).find("cannot open the window: no display"), std::string::npos) << vt::read_file(log);
    // A display that does not answer: the toolkit's complaint, the hint, status 2.
    EXPECT_EQ(status_of("DISPLAY=:9876", ""), 2);
    EXPECT_NE(vt::read_file(log).find("--batch"), std::string::npos) << vt::read_file(log);
    EXPECT_EQ(status_of("", "--help"), 0);
    EXPECT_NE(vt::read_file(log).find("Usage:"), std::string::npos);
    EXPECT_EQ(status_of("", "--version"), 0);
    EXPECT_NE(vt::read_file(log).find("Version"), std::string::npos);
}

TEST(BatchMode, TellsBatchFromWindowCommandLines)
{
    const char* window[] = {"Velmora", "-style", "fusion"};
    const char* batch[] = {"Velmora", "--src", "a", "--batch"};
    const char* help[] = {"Velmora", "--help"};
    const char* version[] = {"Velmora", "--version"};
    EXPECT_FALSE(vmbatch::WantsBatch(3, const_cast<char**>(window)));
    EXPECT_TRUE(vmbatch::WantsBatch(4, const_cast<char**>(batch)));
    EXPECT_TRUE(vmbatch::WantsBatch(2, const_cast<char**>(help)));
    EXPECT_TRUE(vmbatch::WantsBatch(2, const_cast<char**>(version)));
}

} // namespace
