#pragma once

// The document store of the demo archive on disk: the folder tree the
// program walks, with small valid PDF and TIFF files, placeholder drawings
// and a few documents left without their files.

#include "ArchiveSetup.h"
#include "DemoArchive.h"

#include <QByteArray>
#include <QString>

namespace admin {

class DemoStore {
public:
    struct Result {
        int folders = 0;
        int files = 0;
        qint64 bytes = 0;
    };

    // Writes the tree under `root` (the store root; created when missing).
    // Throws AdminError when a folder or a file cannot be written.
    static Result write(const DemoModel& model, const StoreFolders& folders, const QString& root);

    // The file that marks a store as made by the demo, so that a repeated
    // demo may clear it (it never clears a store with files of its own).
    static QString markerName() { return QStringLiteral(".archive-demo-store"); }
    // Checks, before anything is created, that the demo may write under
    // `root`: it is missing, holds no files, or is an earlier demo store
    // and `replace` is set. Throws AdminError otherwise.
    static void checkRoot(const QString& root, bool replace);
    // Removes an earlier demo store's contents (only one with the marker).
    static void clearEarlierDemo(const QString& root);

    // Names inside the tree, shared by the writer and the tool's messages.
    static QString noteFolderName(const DemoNote& note);
    static QString notePdfName(const DemoNote& note);
    static QString smetaFileName(const DemoSmeta& smeta);
    static QString draftFolderName(const DemoDraft& draft);
    // The sheet's file without extension (scan: true for the .tif form) or,
    // for a sheet of several files, its folder.
    static QString sheetBaseName(const DemoSheet& sheet, bool scan);
    static QString positionFolderName(const DemoPosition& position);
    static QString letterFileName(const DemoLetter& letter, int bkey);
    static QString protocolFileName(const DemoProtocol& protocol);

    // A one-page PDF 1.4 document showing `title` (ASCII) in Helvetica.
    static QByteArray minimalPdf(const QByteArray& title);
    // An uncompressed 8-bit greyscale baseline TIFF, little-endian.
    static QByteArray minimalTiff(int width, int height);
    // Stands in for a drawing: the version header of a drawing file and a note.
    static QByteArray placeholderDrawing(const QByteArray& name);
};

} // namespace admin
