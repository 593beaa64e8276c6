// Command-line conversion through the converter's document.
#include "batch_mode.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "core/convert_pipeline.h"
#include "core/folder_listing.h"
#include "core/message_box.h"
#include "core/velmora_doc.h"
#include "core/velmora_settings.h"

namespace vmbatch {

namespace {

constexpr char kHelp[] =
    "Usage: Velmora                     open the conversion window (needs a display)\n"
    "       Velmora --batch --src DIR --dst DIR [options] [files...]\n"
    "       Velmora --help | --version\n"
    "\n"
    "Converts still pictures (Targa, PICT, BMP, JPEG) from DIR to broadcast-size files\n"
    "without opening a window. Without file names every .tga, .pct, .bmp and .jpg file of\n"
    "the source folder is converted (names compare ignoring case; entries that cannot be\n"
    "opened are named and skipped); file names must be plain names of files in the source\n"
    "folder. Outputs keep the base name and take the format's extension; existing files of\n"
    "that name are replaced, but no output of the run replaces another one (a.jpg and a.bmp\n"
    "both become a.tga: the later one fails).\n"
    "\n"
    "Options:\n"
    "  --src DIR          source folder (required)\n"
    "  --dst DIR          destination folder, must exist (required); it may be the source\n"
    "                     folder only with --in-place\n"
    "  --in-place         allow --dst to be the source folder: outputs may then replace\n"
    "                     sources of the same name once those are converted\n"
    "  --format F         tga (run-length Targa, default), tga-raw (uncompressed Targa),\n"
    "                     jpg (quality 85, no key), bmp (24-bit), pict\n"
    "  --aspect A         off (keep size, default), widen (width x 1.125),\n"
    "                     narrow (width x 8/9), custom (size, cut, passes and key below)\n"
    "  --size WxH         custom output size, e.g. 720x486\n"
    "  --cut X,Y,W,H      custom cut area, used for 1920-pixel-wide sources only\n"
    "  --passes N         custom smoothing passes, 0 to 3\n"
    "  --key K            custom key mode: linear (keep the source key over transparency)\n"
    "                     or self (put the picture on opaque black); JPEG and BMP are\n"
    "                     always on opaque black\n"
    "  --preset P         start the custom values from preset 1 or 2 of Velmora.INI\n"
    "                     (otherwise from the preset its CUSTOM key selects)\n"
    "  --ini FILE         settings file, must be readable (default: Velmora.INI in the\n"
    "                     current directory, when there is one)\n"
    "  --help             this text\n"
    "  --version          the program's version\n"
    "\n"
    "--size, --cut, --passes, --key and --preset imply --aspect custom. Values from the\n"
    "settings file are limited as the custom dialog limits them.\n"
    "\n"
    "Exit status: 0 every file converted, 1 some file failed or was skipped, 2 bad command\n"
    "line, folder or settings (nothing converted).\n";

struct Options {
    QString src;
    QString dst;
    int format = vm::kFormatTgaRle;
    int aspect = -1;  // not given
    bool has_size = false, has_cut = false, has_passes = false, has_key = false;
    int width = 0, height = 0;
    int cut[4] = {0, 0, 0, 0};
    int passes = 0;
    int key = 0;
    int preset = 0;  // 0: the one the settings file selects
    bool in_place = false;
    QString ini;
    QStringList files;
};

void print(std::FILE* f, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), f);
}

bool parse_int(const QString& text, int lo, int hi, int* out)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok, 10);
    if (!ok || v < lo || v > hi) return false;
    *out = v;
    return true;
}

// Reads the command line into o; on a mistake writes it to err and returns false.
bool parse(const QStringList& arguments, Options& o, std::FILE* out, std::FILE* err, bool* done)
{
    QCommandLineParser p;
    p.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption batch(QStringLiteral("batch"));
    const QCommandLineOption help_opt(QStringList{QStringLiteral("help"), QStringLiteral("h")});
    const QCommandLineOption version_opt(QStringLiteral("version"));
    const QCommandLineOption in_place(QStringLiteral("in-place"));
    const QCommandLineOption src(QStringLiteral("src"), QString(), QStringLiteral("DIR"));
    const QCommandLineOption dst(QStringLiteral("dst"), QString(), QStringLiteral("DIR"));
    const QCommandLineOption format(QStringLiteral("format"), QString(), QStringLiteral("F"));
    const QCommandLineOption aspect(QStringLiteral("aspect"), QString(), QStringLiteral("A"));
    const QCommandLineOption size(QStringLiteral("size"), QString(), QStringLiteral("WxH"));
    const QCommandLineOption cut(QStringLiteral("cut"), QString(), QStringLiteral("X,Y,W,H"));
    const QCommandLineOption passes(QStringLiteral("passes"), QString(), QStringLiteral("N"));
    const QCommandLineOption key(QStringLiteral("key"), QString(), QStringLiteral("K"));
    const QCommandLineOption preset(QStringLiteral("preset"), QString(), QStringLiteral("P"));
    const QCommandLineOption ini(QStringLiteral("ini"), QString(), QStringLiteral("FILE"));
    p.addOptions({batch, help_opt, version_opt, in_place, src, dst, format, aspect, size, cut, passes, key, preset, ini});
    p.addPositionalArgument(QStringLiteral("files"), QString());

    auto fail = [&](const QString& why) {
        print(err, QStringLiteral("Velmora: %1\nTry 'Velmora --help'.\n").arg(why));
        return false;
    };
    if (!p.parse(arguments)) return fail(p.errorText());
    if (p.isSet(help_opt)) {
        print(out, QString::fromUtf8(kHelp));
        *done = true;
        return true;
    }
    if (p.isSet(version_opt)) {
        print(out, QStringLiteral("Velmora Version %1\n").arg(QStringLiteral(VELMORA_PRODUCT_VERSION)));
        *done = true;
        return true;
    }
    if (!p.isSet(src) || !p.isSet(dst)) return fail(QStringLiteral("--src and --dst are required"));
    o.src = p.value(src);
    o.dst = p.value(dst);
    o.files = p.positionalArguments();
    o.ini = p.value(ini);
    o.in_place = p.isSet(in_place);
    for (const QString& f : o.files) {
        // Only files of the source folder: a path would read from, and write to, elsewhere.
        if (f.isEmpty() || f == QLatin1String(".") || f == QLatin1String("..") || f.contains(QLatin1Char('/')) ||
            f.contains(QLatin1Char('\\'))) {
            return fail(QStringLiteral("'%1' is not a plain file name; files are named as they are in --src").arg(f));
        }
    }

    if (p.isSet(format)) {
        static const char* const names[] = {"tga", "jpg", "bmp", "pict", "tga-raw"};
        o.format = -1;
        for (int f = 0; f < 5; ++f) {
            if (p.value(format).compare(QLatin1String(names[f]), Qt::CaseInsensitive) == 0) o.format = f;
        }
        if (o.format < 0) return fail(QStringLiteral("unknown --format '%1'").arg(p.value(format)));
    }
    if (p.isSet(aspect)) {
        static const char* const names[] = {"off", "widen", "narrow", "custom"};
        for (int a = 0; a < 4; ++a) {
            if (p.value(aspect).compare(QLatin1String(names[a]), Qt::CaseInsensitive) == 0) o.aspect = a;
        }
        if (o.aspect < 0) return fail(QStringLiteral("unknown --aspect '%1'").arg(p.value(aspect)));
    }
    if (p.isSet(size)) {
        const QRegularExpressionMatch m =
            QRegularExpression(QStringLiteral("^\\s*(\\d+)\\s*[xX]\\s*(\\d+)\\s*$")).match(p.value(size));
        if (!m.hasMatch() || !parse_int(m.captured(1), 1, vm::kMaxCustomWidth, &o.width) ||
            !parse_int(m.captured(2), 1, vm::kMaxCustomHeight, &o.height)) {
            return fail(QStringLiteral("--size wants WxH with W 1 to %1 and H 1 to %2")
                            .arg(vm::kMaxCustomWidth)
                            .arg(vm::kMaxCustomHeight));
        }
        o.has_size = true;
    }
    if (p.isSet(cut)) {
        const QStringList parts = p.value(cut).split(QLatin1Char(','));
        const int hi[4] = {vm::kMaxCustomWidth, vm::kMaxCustomHeight, vm::kMaxCustomWidth, vm::kMaxCustomHeight};
        bool ok = parts.size() == 4;
        for (int i = 0; ok && i < 4; ++i) ok = parse_int(parts[i], 0, hi[i], &o.cut[i]);
        if (!ok) return fail(QStringLiteral("--cut wants X,Y,W,H (x and widths 0 to 1920, y and heights 0 to 1080)"));
        o.has_cut = true;
    }
    if (p.isSet(passes)) {
        if (!parse_int(p.value(passes), 0, vm::kMaxPasses, &o.passes)) return fail(QStringLiteral("--passes wants 0 to 3"));
        o.has_passes = true;
    }
    if (p.isSet(key)) {
        const QString k = p.value(key).toLower();
        if (k == QLatin1String("linear")) {
            o.key = 0;
        } else if (k == QLatin1String("self")) {
            o.key = 1;
        } else {
            return fail(QStringLiteral("--key wants linear or self"));
        }
        o.has_key = true;
    }
    if (p.isSet(preset) && !parse_int(p.value(preset), 1, 2, &o.preset)) return fail(QStringLiteral("--preset wants 1 or 2"));

    const bool custom_values = o.has_size || o.has_cut || o.has_passes || o.has_key || o.preset != 0;
    if (o.aspect < 0) o.aspect = custom_values ? vm::kAspectCustom : vm::kAspectOff;
    if (custom_values && o.aspect != vm::kAspectCustom) {
        return fail(QStringLiteral("--size, --cut, --passes, --key and --preset need --aspect custom"));
    }
    return true;
}

// The custom values as the custom dialog would confirm them, with the command line's own.
vm::tagCONVSETTING custom_settings(const CVelmoraDoc& doc, const Options& o)
{
    const int which = o.preset != 0 ? o.preset : (doc.m_nCustom == 1 ? 2 : 1);
    vm::tagCONVSETTING s = vm::preset_as_offered(which == 2 ? doc.Preset2 : doc.Preset1);
    if (o.has_size) {
        s.nWidth = o.width;
        s.nHeight = o.height;
    }
    if (o.has_cut) {
        s.nCutX = o.cut[0];
        s.nCutY = o.cut[1];
        s.nCutW = o.cut[2];
        s.nCutH = o.cut[3];
    }
    if (o.has_passes) s.nFilter = o.passes;
    if (o.has_key) s.nKey = o.key;
    return s;
}

// Checks that path is an existing folder; otherwise says what it is, for the named role.
bool check_folder(const QString& path, const char* role, std::FILE* err)
{
    const QFileInfo info(path);
    if (info.isDir()) return true;
    if (info.exists()) {
        print(err, QStringLiteral("Velmora: %1 is not a folder: %2\n").arg(QLatin1String(role), path));
    } else {
        print(err, QStringLiteral("Velmora: %1 folder not found: %2\n").arg(QLatin1String(role), path));
    }
    return false;
}

// Why a file was not converted, in this mode's words.
QString failure_text(CVelmoraDoc::Failure failure)
{
    switch (failure) {
    case CVelmoraDoc::Failure::load: return QStringLiteral("cannot be loaded (not a picture of its kind, or damaged)");
    case CVelmoraDoc::Failure::output_size: return QStringLiteral("the output size is not a picture size");
    case CVelmoraDoc::Failure::render: return QStringLiteral("not enough memory to convert it");
    case CVelmoraDoc::Failure::save: return QStringLiteral("the output could not be written");
    default: return QStringLiteral("not converted");
    }
}

} // namespace

bool WantsBatch(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--batch") == 0 || std::strcmp(argv[i], "--help") == 0 ||
            std::strcmp(argv[i], "-h") == 0 || std::strcmp(argv[i], "--version") == 0) {
            return true;
        }
    }
    return false;
}

int RunBatchMain(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Velmora"));
    const int status = RunBatch(QCoreApplication::arguments(), stdout, stderr);
    std::fflush(stdout);
    return status;
}

int RunBatch(const QStringList& arguments, std::FILE* out, std::FILE* err)
{
    Options o;
    bool done = false;
    if (!parse(arguments, o, out, err, &done)) return kUsageError;
    if (done) return kAllConverted;

    if (!check_folder(o.src, "source", err) || !check_folder(o.dst, "destination", err)) return kUsageError;
    if (!o.in_place && QFileInfo(o.src).canonicalFilePath() == QFileInfo(o.dst).canonicalFilePath()) {
        print(err, QStringLiteral("Velmora: --dst is the source folder: outputs would replace the sources they are "
                                  "made from; give --in-place to convert there anyway\n"));
        return kUsageError;
    }
    // A settings file asked for by name must be there; the default one may be missing.
    if (!o.ini.isEmpty()) {
        const QFileInfo info(o.ini);
        if (!info.exists()) {
            print(err, QStringLiteral("Velmora: settings file not found: %1\n").arg(o.ini));
            return kUsageError;
        }
        QFile probe(o.ini);
        if (!info.isFile() || !probe.open(QIODevice::ReadOnly)) {
            print(err, QStringLiteral("Velmora: settings file cannot be read: %1\n").arg(o.ini));
            return kUsageError;
        }
    }

    // The document's boxes speak the window's language; this mode says the same in its own.
    const vm::MessageHandler previous =
        vm::set_message_handler([](const std::string&, unsigned style) { return vm::default_answer(style); });
    struct Restore {
        const vm::MessageHandler& h;
        ~Restore() { vm::set_message_handler(h); }
    } restore{previous};

    CVelmoraDoc doc;
    doc.SetTitle("Velmora");
    const QString ini = o.ini.isEmpty() ? QDir::current().filePath(QString::fromLatin1(vm::kProfileFileName)) : o.ini;
    doc.ReadSettings(ini.toStdString());
    doc.m_strSrcPath = o.src.toStdString();
    doc.m_strDstPath = o.dst.toStdString();
    if (o.aspect == vm::kAspectCustom) {
        doc.CurrentSettings = custom_settings(doc, o);
        // Every file would fail alike: say it once, before converting anything.
        if (doc.CurrentSettings.nWidth < 1 || doc.CurrentSettings.nHeight < 1) {
            print(err, QStringLiteral("Velmora: the custom output size %1x%2 (from %3) is not a picture size; "
                                      "give --size WxH\n")
                           .arg(doc.CurrentSettings.nWidth)
                           .arg(doc.CurrentSettings.nHeight)
                           .arg(ini));
            return kUsageError;
        }
    } else {
        doc.ResetCustomExtras();
    }

    std::vector<std::string> names;
    int skipped = 0;
    if (o.files.isEmpty()) {
        std::vector<vm::UnreadableEntry> unreadable;
        for (const char* ext : vm::kListExtensions) {
            vm::list_folder(o.src.toStdString(), ext, nullptr,
                            [&names](const vm::ListRow& row) { names.push_back(row.name); }, &unreadable);
        }
        for (const vm::UnreadableEntry& e : unreadable) {
            print(err, QStringLiteral("Velmora: skipped %1: cannot be opened (%2)\n")
                           .arg(QString::fromStdString(e.name), QString::fromStdString(e.reason)));
        }
        skipped = static_cast<int>(unreadable.size());
    } else {
        for (const QString& f : o.files) names.push_back(f.toStdString());
    }
    if (names.empty() && skipped == 0) {
        print(out, QStringLiteral("No pictures (.tga, .pct, .bmp, .jpg) in %1\n").arg(o.src));
        return kAllConverted;
    }

    // Where each file comes from and goes to: an output that an earlier file of the run
    // wrote, or that is a source still to be converted, is not written.
    const int total = static_cast<int>(names.size());
    std::vector<QString> sources, outputs;
    for (const std::string& name : names) {
        sources.push_back(QFileInfo(QString::fromStdString(vm::join_path(o.src.toStdString(), name))).absoluteFilePath());
        outputs.push_back(
            QFileInfo(QString::fromStdString(vm::destination_path(o.dst.toStdString(), name, o.format))).absoluteFilePath());
    }
    std::map<QString, size_t> written;  // output path -> the file that wrote it

    int converted = 0, failed = 0;
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string& name = names[i];
        const std::string src = vm::join_path(o.src.toStdString(), name);
        const std::string dst = vm::destination_path(o.dst.toStdString(), name, o.format);
        print(out, QStringLiteral("[%1/%2] %3 -> %4: ")
                       .arg(i + 1)
                       .arg(total)
                       .arg(QString::fromStdString(name), QString::fromStdString(dst)));
        QString why;
        const QString& output = outputs[i];
        const auto earlier = written.find(output);
        const auto later = std::find(sources.begin() + static_cast<std::ptrdiff_t>(i) + 1, sources.end(), output);
        if (!std::any_of(std::begin(vm::kListExtensions), std::end(vm::kListExtensions),
                         [&](const char* ext) { return vm::has_extension(name, ext); })) {
            why = QStringLiteral("not a .tga, .pct, .bmp or .jpg file");
        } else if (earlier != written.end()) {
            why = QStringLiteral("%1 was already written from %2 in this run")
                      .arg(QFileInfo(output).fileName(), QString::fromStdString(names[earlier->second]));
        } else if (later != sources.end()) {
            why = QStringLiteral("it would replace %1, which is still to be converted").arg(QFileInfo(output).fileName());
        } else {
            doc.ConvertFile(CString(src), CString(dst), o.aspect, o.format);
            if (!doc.LastWriteSucceeded()) why = failure_text(doc.LastFailure());
        }
        if (why.isEmpty()) {
            print(out, QStringLiteral("ok\n"));
            written.emplace(output, i);
            ++converted;
        } else {
            print(out, QStringLiteral("failed: %1\n").arg(why));
            ++failed;
        }
        std::fflush(out);
    }
    QString summary = QStringLiteral("%1 of %2 converted, %3 failed").arg(converted).arg(total).arg(failed);
    if (skipped > 0) summary += QStringLiteral(", %1 skipped (cannot be opened)").arg(skipped);
    print(out, summary + QLatin1Char('\n'));
    return failed == 0 && skipped == 0 ? kAllConverted : kSomeFailed;
}

} // namespace vmbatch
