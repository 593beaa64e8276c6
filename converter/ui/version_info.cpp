// The version block's values. The version numbers come from the build.
#include "version_info.h"

#include <QMap>

#ifndef VELMORA_PRODUCT_VERSION
#define VELMORA_PRODUCT_VERSION "4, 6, 12, 8"
#endif

namespace vmui {

namespace {

const QMap<QString, QString>& string_table()
{
    static const QMap<QString, QString> table = [] {
        const QString block = QStringLiteral("\\StringFileInfo\\041104b0\\");
        QMap<QString, QString> t;
        t.insert(block + QStringLiteral("CompanyName"), QStringLiteral("Velmora"));
        t.insert(block + QStringLiteral("FileDescription"), QStringLiteral("画像変換"));
        t.insert(block + QStringLiteral("FileVersion"), QStringLiteral(VELMORA_PRODUCT_VERSION));
        t.insert(block + QStringLiteral("InternalName"), QStringLiteral("Velmora"));
        t.insert(block + QStringLiteral("LegalCopyright"), QStringLiteral("Copyright (C) Velmora developers"));
        t.insert(block + QStringLiteral("OriginalFilename"), QStringLiteral("Velmora"));
        t.insert(block + QStringLiteral("ProductName"), QStringLiteral("Velmora ｱﾌﾟﾘｹｰｼｮﾝ"));
        t.insert(block + QStringLiteral("ProductVersion"), QStringLiteral(VELMORA_PRODUCT_VERSION));
        return t;
    }();
    return table;
}

} // namespace

std::optional<std::uint32_t> version_translation()
{
    return std::uint32_t{0x0411} | (std::uint32_t{0x04B0} << 16);
}

std::optional<QString> version_string(const QString& path)
{
    const auto it = string_table().constFind(path);
    if (it == string_table().constEnd()) return std::nullopt;
    return *it;
}

} // namespace vmui
