#include "DemoStore.h"

#include "StoreNames.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QtEndian>

namespace admin {

namespace {

class TreeWriter {
public:
    explicit TreeWriter(DemoStore::Result& result)
        : m_result(result) {}

    QString folder(const QString& parent, const QString& name) {
        const QString path = parent + QDir::separator() + name;
        if (!QDir(path).exists()) {
            if (!QDir().mkpath(path))
                throw AdminError(
                    QStringLiteral("Не удалось создать папку %1").arg(QDir::toNativeSeparators(path)));
            ++m_result.folders;
        }
        return path;
    }

    void file(const QString& parent, const QString& name, const QByteArray& data) {
        const QString path = parent + QDir::separator() + name;
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size())
            throw AdminError(QStringLiteral("Не удалось записать файл %1: %2")
                                 .arg(QDir::toNativeSeparators(path), f.errorString()));
        ++m_result.files;
        m_result.bytes += data.size();
    }

private:
    DemoStore::Result& m_result;
};

} // namespace

QString DemoStore::noteFolderName(const DemoNote& note) {
    return QString::number(note.invnum) + u'_' + cleanFileName(note.nkey);
}

QString DemoStore::notePdfName(const DemoNote& note) {
    return safeFileName(note.nkey) + u'_' + QString::number(note.invnum) + QStringLiteral(".pdf");
}

QString DemoStore::smetaFileName(const DemoSmeta& smeta) {
    return safeFileName(smeta.number) + u'_' + QString::number(smeta.invnum) + QStringLiteral(".pdf");
}

QString DemoStore::draftFolderName(const DemoDraft& draft) {
    return limitedFolderName(
        cleanFileName(draft.marka) + u'_' + pad3(draft.invnum) + u' ' + cleanFileName(draft.name), 80);
}

QString DemoStore::sheetBaseName(const DemoSheet& sheet, bool scan) {
    if (!sheet.indication.isEmpty())
        return safeFileName(sheet.indication);
    // A sheet of several files is a folder named like the drawing's file.
    if (sheet.numLists != 1)
        return QStringLiteral("лист ") + QString::number(sheet.lkey);
    return (scan ? QStringLiteral("лист") : QStringLiteral("лист ")) + QString::number(sheet.lkey);
}

QString DemoStore::positionFolderName(const DemoPosition& position) {
    return position.naznach + u'_' + slashesToUnderscores(position.posit) + u'_' +
           QString::number(position.invnum);
}

QString DemoStore::letterFileName(const DemoLetter& letter, int bkey) {
    return QString::number(bkey) + u'-' + QString::number(letter.invnum) + u'_' +
           limitedFolderName(cleanFileName(letter.subject), 60) + QStringLiteral(".pdf");
}

QString DemoStore::protocolFileName(const DemoProtocol& protocol) {
    return QString::number(protocol.invnum) + QStringLiteral("_Протокол от ") +
           protocol.date.toString(QStringLiteral("dd.MM.yyyy")) + QStringLiteral(".pdf");
}

QByteArray DemoStore::minimalPdf(const QByteArray& title) {
    QByteArray escaped;
    for (char c : title) {
        if (c == '(' || c == ')' || c == '\\')
            escaped += '\\';
        escaped += (c >= 32 && c < 127) ? c : '?';
    }
    const QByteArray content = "BT /F1 16 Tf 72 770 Td (" + escaped + ") Tj ET\n";
    const QList<QByteArray> objects = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Contents 4 0 R "
        "/Resources << /Font << /F1 5 0 R >> >> >>",
        "<< /Length " + QByteArray::number(content.size()) + " >>\nstream\n" + content + "endstream",
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
    };
    QByteArray pdf = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
    QList<int> offsets;
    for (int i = 0; i < objects.size(); ++i) {
        offsets << int(pdf.size());
        pdf += QByteArray::number(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const int xref = int(pdf.size());
    pdf += "xref\n0 " + QByteArray::number(objects.size() + 1) + "\n";
    pdf += "0000000000 65535 f \n";
    for (int offset : offsets)
        pdf += QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
    pdf += "trailer\n<< /Size " + QByteArray::number(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
           QByteArray::number(xref) + "\n%%EOF\n";
    return pdf;
}

QByteArray DemoStore::minimalTiff(int width, int height) {
    struct Entry {
        quint16 tag;
        quint16 type; // 3 SHORT, 4 LONG, 5 RATIONAL
        quint32 value;
    };
    const int entryCount = 12;
    const quint32 ifdSize = 2 + 12 * entryCount + 4;
    const quint32 xResOffset = 8 + ifdSize;
    const quint32 yResOffset = xResOffset + 8;
    const quint32 pixelOffset = yResOffset + 8;
    const quint32 pixelBytes = quint32(width * height);
    const Entry entries[entryCount] = {
        {256, 4, quint32(width)},
        {257, 4, quint32(height)},
        {258, 3, 8},
        {259, 3, 1},
        {262, 3, 1},
        {273, 4, pixelOffset},
        {277, 3, 1},
        {278, 4, quint32(height)},
        {279, 4, pixelBytes},
        {282, 5, xResOffset},
        {283, 5, yResOffset},
        {296, 3, 2},
    };

    QByteArray tiff(int(pixelOffset + pixelBytes), '\0');
    uchar* p = reinterpret_cast<uchar*>(tiff.data());
    p[0] = 'I';
    p[1] = 'I';
    qToLittleEndian<quint16>(42, p + 2);
    qToLittleEndian<quint32>(8, p + 4);
    uchar* e = p + 8;
    qToLittleEndian<quint16>(entryCount, e);
    e += 2;
    for (const Entry& entry : entries) {
        qToLittleEndian<quint16>(entry.tag, e);
        qToLittleEndian<quint16>(entry.type, e + 2);
        qToLittleEndian<quint32>(1, e + 4);
        if (entry.type == 3)
            qToLittleEndian<quint16>(quint16(entry.value), e + 8);
        else
            qToLittleEndian<quint32>(entry.value, e + 8);
        e += 12;
    }
    qToLittleEndian<quint32>(0, e); // no further directory
    for (quint32 offset : {xResOffset, yResOffset}) {
        qToLittleEndian<quint32>(200, p + offset); // 200 dots per inch
        qToLittleEndian<quint32>(1, p + offset + 4);
    }
    // White sheet with a black frame, like a scanned drawing's border.
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            p[pixelOffset + quint32(y * width + x)] =
                (x == 1 || y == 1 || x == width - 2 || y == height - 2) ? 0 : 255;
    return tiff;
}

QByteArray DemoStore::placeholderDrawing(const QByteArray& name) {
    QByteArray data = "AC1032";
    data += QByteArray(10, '\0');
    data += "Demo drawing placeholder: " + name + "\n";
    return data;
}

namespace {

bool holdsFiles(const QString& root) {
    QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    return it.hasNext();
}

} // namespace

void DemoStore::checkRoot(const QString& root, bool replace) {
    if (!QFileInfo::exists(root) || !holdsFiles(root))
        return;
    const QString shown = QDir::toNativeSeparators(root);
    if (!QFileInfo::exists(QDir(root).filePath(markerName())))
        throw AdminError(
            QStringLiteral("Папка хранилища %1 уже содержит файлы; демо-архив создаётся только в пустой "
                           "папке.")
                .arg(shown));
    if (!replace)
        throw AdminError(
            QStringLiteral("Папка %1 содержит прежний демо-архив. Чтобы пересоздать его, укажите --force.")
                .arg(shown));
}

void DemoStore::clearEarlierDemo(const QString& root) {
    if (!QFileInfo::exists(QDir(root).filePath(markerName())))
        return;
    const QDir dir(root);
    for (const QFileInfo& entry : dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)) {
        const bool removed = entry.isDir() && !entry.isSymLink() ? QDir(entry.filePath()).removeRecursively()
                                                                 : QFile::remove(entry.filePath());
        if (!removed)
            throw AdminError(
                QStringLiteral("Не удалось удалить %1").arg(QDir::toNativeSeparators(entry.filePath())));
    }
}

DemoStore::Result DemoStore::write(const DemoModel& m, const StoreFolders& f, const QString& rootPath) {
    Result result;
    TreeWriter w(result);
    if (!QDir().mkpath(rootPath))
        throw AdminError(
            QStringLiteral("Не удалось создать папку хранилища %1").arg(QDir::toNativeSeparators(rootPath)));
    const QString root = QDir(rootPath).absolutePath();
    w.file(root, markerName(), QByteArray("Demo document store made by archive-admin.\n"));
    const QByteArray tiff = minimalTiff(16, 12);

    QVector<QString> buildPaths;
    for (const DemoBuild& b : m.builds)
        buildPaths << w.folder(root, buildFolderName(b.bkey, b.name));

    QVector<QString> projectPaths;
    for (const DemoProject& p : m.projects) {
        if (!p.hasFolder) {
            projectPaths << QString();
            continue;
        }
        const QString path = w.folder(buildPaths[p.build], projectFolderName(p.pkind, p.pkey, p.name));
        projectPaths << path;
    }
    auto kindFolder = [&](int project, const QString& kind) {
        return w.folder(projectPaths[project], kind);
    };

    for (const DemoNote& n : m.notes) {
        if (projectPaths[n.project].isEmpty())
            continue;
        const QString folder = w.folder(kindFolder(n.project, f.notes), noteFolderName(n));
        if (n.pdf.file)
            w.file(folder, notePdfName(n),
                   minimalPdf("Explanatory note, inventory number " + QByteArray::number(n.invnum)));
    }

    for (const DemoSmeta& s : m.smets) {
        if (projectPaths[s.project].isEmpty())
            continue;
        const QString folder = kindFolder(s.project, f.smets);
        if (s.file.file)
            w.file(folder, smetaFileName(s),
                   minimalPdf("Estimate, inventory number " + QByteArray::number(s.invnum)));
    }

    for (const DemoDraft& d : m.drafts) {
        if (projectPaths[d.project].isEmpty())
            continue;
        const QString drafts = kindFolder(d.project, f.drafts);
        if (!d.hasFolder)
            continue;
        const QString folder = w.folder(drafts, draftFolderName(d));
        for (const DemoSheet& s : d.sheets) {
            if (s.numLists == 1) {
                if (s.drawing)
                    w.file(folder, sheetBaseName(s, false) + QStringLiteral(".dwg"),
                           placeholderDrawing("sheet " + QByteArray::number(s.lkey)));
                if (s.scan.file)
                    w.file(folder, sheetBaseName(s, true) + QStringLiteral(".tif"), tiff);
                continue;
            }
            if (!s.drawing && !s.scan.file)
                continue;
            const QString sheetFolder = w.folder(folder, sheetBaseName(s, false));
            for (int part = 1; part <= s.numLists; ++part) {
                const QString name = QStringLiteral("лист %1-%2").arg(s.lkey).arg(part);
                if (s.drawing)
                    w.file(sheetFolder, name + QStringLiteral(".dwg"), placeholderDrawing(name.toUtf8()));
                if (s.scan.file)
                    w.file(sheetFolder, name + QStringLiteral(".tif"), tiff);
            }
        }
    }

    for (const DemoPosition& p : m.positions) {
        if (projectPaths[p.project].isEmpty())
            continue;
        const QString folder = w.folder(kindFolder(p.project, f.positions), positionFolderName(p));
        for (const DemoEquipmentDrawing& d : p.drawings) {
            const QString name = d.obozn1 + d.obozn2;
            // A drawing of three sheets is kept as a folder of sheet files.
            if (d.numList >= 3) {
                if (!d.drawing && !d.scan)
                    continue;
                const QString sub = w.folder(folder, name);
                for (int l = 1; l <= d.numList; ++l) {
                    const QString sheet = QStringLiteral("лист %1").arg(l);
                    if (d.drawing)
                        w.file(sub, sheet + QStringLiteral(".dwg"), placeholderDrawing(sheet.toUtf8()));
                    if (d.scan)
                        w.file(sub, sheet + QStringLiteral(".tif"), tiff);
                }
                continue;
            }
            if (d.drawing)
                w.file(folder, name + QStringLiteral(".dwg"), placeholderDrawing(name.toUtf8()));
            if (d.scan)
                w.file(folder, name + QStringLiteral(".tif"), tiff);
        }
    }

    for (const DemoLetter& l : m.letters) {
        const DemoBuild& b = m.builds[l.build];
        const QString kind = w.folder(buildPaths[l.build], l.incoming ? f.inLetters : f.outLetters);
        const QString year = w.folder(kind, documentsFolderName(l.date));
        if (l.file.file)
            w.file(year, letterFileName(l, b.bkey),
                   minimalPdf((l.incoming ? "Incoming letter " : "Outgoing letter ") +
                              QByteArray::number(l.invnum) + " of " +
                              l.date.toString(QStringLiteral("dd.MM.yyyy")).toLatin1()));
    }

    for (const DemoProtocol& p : m.protocols) {
        const QString folder = w.folder(buildPaths[p.build], f.protocols);
        if (p.file.file)
            w.file(folder, protocolFileName(p), minimalPdf("Protocol " + QByteArray::number(p.invnum)));
    }
    return result;
}

} // namespace admin
