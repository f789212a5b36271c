#pragma once

// A demo archive of a design institute: builds, projects, every kind of
// document, letters, protocols, orders and the reference dictionaries.
// The data are made from a fixed seed and fixed dates, so two runs give the
// same rows; `notes` scales everything (the other tables in proportion).

#include <QDate>
#include <QString>
#include <QVector>

#include <functional>

namespace platform::db {
class FbAttachment;
}

namespace admin {

// Where a document stands in the store and in its mark: the file is there
// or not, and the mark in the database says it was found or not. All four
// combinations occur, so the presence checks find both kinds of mismatch.
struct FilePresence {
    bool file = true;
    bool mark = false;
};

struct DemoBuild {
    int id = 0;
    int bkey = 0;
    QString name;
    QString kind;
    bool hasFolder = true;
};

struct DemoProject {
    int id = 0;
    int build = 0; // index into builds
    QString pkey;
    QString pkind;
    QString name;
    QString gip;
    bool old = false;
    bool hasFolder = true;
};

struct DemoCopy {
    int copy = 0;
    QDate sent;
    QDate returned;
    QString whereIs;
    QString waybill;
};

struct DemoNote {
    int id = 0;
    int project = 0;
    int invnum = 0;
    QString nkey;
    QString name;
    int cupboard = 0;
    int shelf = 0;
    QString waybill;
    int stat = 0;
    QDate received;
    QDate sent;
    QDate issued;   // DATE_VYD
    int holder = 0; // SOTRID, 0 when in the archive
    QString holderName;
    int pages = 0;
    FilePresence pdf;        // F_PDF and the note's PDF
    bool sourceMark = false; // W_FILE
    QVector<DemoCopy> copies;
};

struct DemoSmeta {
    int id = 0;
    int project = 0;
    int invnum = 0;
    QString number;
    QString abcNumber;
    QString name;
    QString remark;
    int cupboard = 0;
    int shelf = 0;
    QDate received;
    QDate sent;
    QString waybill;
    int stat = 0;
    FilePresence file; // W_FILE and the estimate's file
};

struct DemoSheet {
    int id = 0;
    int lkey = 0;
    QString name;
    QString format;
    int stat = 0;
    QString indication;
    int numLists = 1;    // other than 1: the sheet is a folder of files
    bool drawing = true; // the .dwg is there
    FilePresence scan;   // MARK_TIF and the .tif
};

struct DemoDraft {
    int id = 0;
    int project = 0;
    int invnum = 0;
    QString marka;
    int nomer = 0;
    QString nomenclatura;
    QString spec;
    QString name;
    QDate received;
    QDate sent;
    int cupboard = 0;
    int shelf = 0;
    int folder = 0;
    QString format;
    QString waybill;
    bool hasFolder = true;
    QVector<DemoSheet> sheets;
};

struct DemoEquipmentDrawing {
    int id = 0;
    int invnum = 0;
    QString obozn1;
    QString obozn2;
    QString name;
    QDate received;
    QString format;
    int stat = 0;
    int num = 0;
    int numList = 1;
    bool drawing = true;   // .dwg (or the folder of a drawing with several sheets)
    bool scan = true;      // .tif
    QVector<int> sheetIds; // LISTS2 keys, LKEY 1..numList
};

struct DemoPosition {
    int id = 0;
    int project = 0;
    int invnum = 0;
    QString naznach;
    QString posit;
    QString name;
    QDate received;
    QDate sent;
    QString waybill;
    QVector<DemoEquipmentDrawing> drawings;
};

struct DemoLetter {
    int id = 0;
    bool incoming = false;
    int build = 0; // index into builds
    int invnum = 0;
    QDate date; // DATA or DATE_RECIVE
    QDate sendDate;
    int department = 0;
    QString author;
    QString subject;
    QString contents;
    QString whom;
    QString dispatch;
    QString senderIndex;
    QString sender;
    QString execution;
    int organization = 0;
    FilePresence file;
};

struct DemoProtocol {
    int id = 0;
    int build = 0;
    int invnum = 0;
    QDate date;
    QString noteInvnum;
    QString contents;
    FilePresence file;
};

struct DemoOrder {
    int id = 0;
    int num = 0;
    QDate date;
    QString name;
    QString content;
};

struct DemoPerson {
    int id = 0;
    int department = 0;
    int tabnom = 0;
    QString fio;
};

struct DemoNamed {
    int id = 0;
    QString name;
    QString fullName;
};

struct DemoModel {
    QVector<DemoBuild> builds;
    QVector<DemoProject> projects;
    QVector<DemoNote> notes;
    QVector<DemoSmeta> smets;
    QVector<DemoDraft> drafts;
    QVector<DemoPosition> positions;
    QVector<DemoLetter> letters; // outgoing and incoming, in date order
    QVector<DemoProtocol> protocols;
    QVector<DemoOrder> orders;
    QVector<DemoNamed> organizations;
    QVector<DemoNamed> gips;
    QVector<DemoNamed> departments; // name: OTDEL, fullName: BOSS
    QVector<DemoPerson> employees;
    QVector<DemoNamed> customers;
};

class DemoArchive {
public:
    static constexpr int kDefaultNotes = 300;

    explicit DemoArchive(int notes = kDefaultNotes, quint32 seed = 20190401u);

    const DemoModel& model() const { return m_model; }

    // Insert the rows (explicit keys equal to what the generators would hand
    // out; the generators follow through the tables' triggers). `progress`
    // gets a line per table.
    void writeArchive(platform::db::FbAttachment& archive,
                      const std::function<void(const QString&)>& progress = {}) const;
    void writeReference(platform::db::FbAttachment& sprav,
                        const std::function<void(const QString&)>& progress = {}) const;

private:
    void generate(int notes);
    quint32 next();
    int range(int low, int high); // both ends included
    template <class T>
    const T& pick(const QVector<T>& list) {
        return list[range(0, int(list.size()) - 1)];
    }
    QDate dateAt(int index, int count, const QDate& from, const QDate& to);

    quint64 m_state;
    DemoModel m_model;
};

} // namespace admin
