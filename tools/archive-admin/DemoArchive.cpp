#include "DemoArchive.h"

#include "StoreNames.h"
#include "db/Errors.h"
#include "db/FbClient.h"
#include "db/FbStatement.h"

#include <QMap>
#include <QStringList>

#include <algorithm>

using namespace platform::db;

namespace admin {

namespace {

// A pool of texts; QStringLiteral keeps them UTF-16 at compile time.
using Pool = QVector<QString>;

struct BuildType {
    QString kind;       // BKIND
    QString nameFormat; // %1 street or district or proper name, %2 a number
    int nameSource;     // 0 street, 1 district, 2 proper name
    Pool projects;
};

const QVector<BuildType>& buildTypes() {
    static const QVector<BuildType> types = {
        {QStringLiteral("Жил"),
         QStringLiteral("Жилой дом по ул. %1, %2"),
         0,
         {QStringLiteral("Жилой дом. Блок-секция 1"), QStringLiteral("Жилой дом. Блок-секция 2"),
          QStringLiteral("Наружные сети водоснабжения и канализации"),
          QStringLiteral("Наружные сети теплоснабжения"), QStringLiteral("Электроснабжение 0,4 кВ"),
          QStringLiteral("Благоустройство и озеленение территории"),
          QStringLiteral("Подземная автостоянка на 120 машино-мест")}},
        {QStringLiteral("Соц"),
         QStringLiteral("Средняя общеобразовательная школа на %2 мест в мкр. %1"),
         1,
         {QStringLiteral("Здание школы. Основной корпус"), QStringLiteral("Спортивный зал с бассейном"),
          QStringLiteral("Пищеблок"), QStringLiteral("Наружные инженерные сети"),
          QStringLiteral("Благоустройство территории школы")}},
        {QStringLiteral("Соц"),
         QStringLiteral("Детский сад \"%1\" на %2 мест"),
         3,
         {QStringLiteral("Здание детского сада"), QStringLiteral("Наружные сети водопровода и канализации"),
          QStringLiteral("Игровые и спортивные площадки"), QStringLiteral("Электроснабжение 10/0,4 кВ")}},
        {QStringLiteral("Энерг"),
         QStringLiteral("Котельная %2 МВт в мкр. %1"),
         1,
         {QStringLiteral("Реконструкция котельной"), QStringLiteral("Тепловые сети от котельной до ТК-12"),
          QStringLiteral("Газоснабжение котельной"),
          QStringLiteral("Автоматизация и диспетчеризация котельной"),
          QStringLiteral("Дымовая труба Н=30 м")}},
        {QStringLiteral("Энерг"),
         QStringLiteral("Подстанция 110/10 кВ «%1»"),
         2,
         {QStringLiteral("Открытое распределительное устройство 110 кВ"),
          QStringLiteral("Закрытое распределительное устройство 10 кВ"),
          QStringLiteral("Кабельные линии 10 кВ"), QStringLiteral("Релейная защита и автоматика"),
          QStringLiteral("Общеподстанционный пункт управления")}},
        {QStringLiteral("Соц"),
         QStringLiteral("Поликлиника на %2 посещений в смену по ул. %1"),
         0,
         {QStringLiteral("Главный корпус поликлиники"), QStringLiteral("Наружные сети и сооружения"),
          QStringLiteral("Благоустройство территории")}},
        {QStringLiteral("Пром"),
         QStringLiteral("Очистные сооружения канализации пос. %1"),
         2,
         {QStringLiteral("Здание решеток"), QStringLiteral("Аэротенки"), QStringLiteral("Иловые площадки"),
          QStringLiteral("Канализационная насосная станция"), QStringLiteral("Внутриплощадочные сети")}},
        {QStringLiteral("Общ"),
         QStringLiteral("Административное здание по пр. %1, %2"),
         0,
         {QStringLiteral("Административное здание"), QStringLiteral("Пристройка конференц-зала"),
          QStringLiteral("Наружные сети связи и видеонаблюдения")}},
    };
    return types;
}

const Pool& streets() {
    static const Pool p = {
        QStringLiteral("Ленина"),     QStringLiteral("Гагарина"),      QStringLiteral("Мира"),
        QStringLiteral("Советская"),  QStringLiteral("Пушкина"),       QStringLiteral("Садовая"),
        QStringLiteral("Строителей"), QStringLiteral("Молодёжная"),    QStringLiteral("Победы"),
        QStringLiteral("Заводская"),  QStringLiteral("Комсомольская"), QStringLiteral("Кирова")};
    return p;
}

const Pool& districts() {
    static const Pool p = {QStringLiteral("Северный"),  QStringLiteral("Южный"),
                           QStringLiteral("Заречный"),  QStringLiteral("Солнечный"),
                           QStringLiteral("Восточный"), QStringLiteral("Лесной")};
    return p;
}

const Pool& properNames() {
    static const Pool p = {QStringLiteral("Солнышко"), QStringLiteral("Радуга"),
                           QStringLiteral("Берёзка"),  QStringLiteral("Заречная"),
                           QStringLiteral("Северная"), QStringLiteral("Городская"),
                           QStringLiteral("Сосновка"), QStringLiteral("Промышленная")};
    return p;
}

const Pool& kindergartens() {
    static const Pool p = {QStringLiteral("Солнышко"), QStringLiteral("Радуга"), QStringLiteral("Берёзка"),
                           QStringLiteral("Колокольчик"), QStringLiteral("Теремок")};
    return p;
}

const QVector<QPair<QString, QString>>& noteKinds() {
    static const QVector<QPair<QString, QString>> k = {
        {QStringLiteral("ПЗ"), QStringLiteral("Пояснительная записка")},
        {QStringLiteral("ПОС"), QStringLiteral("Проект организации строительства")},
        {QStringLiteral("ООС"), QStringLiteral("Перечень мероприятий по охране окружающей среды")},
        {QStringLiteral("ПБ"), QStringLiteral("Мероприятия по обеспечению пожарной безопасности")},
        {QStringLiteral("ОДИ"), QStringLiteral("Мероприятия по обеспечению доступа инвалидов")},
        {QStringLiteral("ЭЭ"), QStringLiteral("Мероприятия по обеспечению энергетической эффективности")},
        {QStringLiteral("ИОС1"), QStringLiteral("Система электроснабжения")},
        {QStringLiteral("ИОС2"), QStringLiteral("Система водоснабжения")},
        {QStringLiteral("ИОС4"), QStringLiteral("Отопление, вентиляция и кондиционирование воздуха")},
        {QStringLiteral("ИОС5.1"), QStringLiteral("Сети связи")},
        {QStringLiteral("ТБЭ"), QStringLiteral("Требования к безопасной эксплуатации объекта")},
        {QStringLiteral("СМ"), QStringLiteral("Сметная документация")},
    };
    return k;
}

const QVector<QPair<QString, QString>>& marks() {
    static const QVector<QPair<QString, QString>> m = {
        {QStringLiteral("ГП"), QStringLiteral("Генеральный план")},
        {QStringLiteral("АР"), QStringLiteral("Архитектурные решения")},
        {QStringLiteral("КЖ"), QStringLiteral("Конструкции железобетонные")},
        {QStringLiteral("КМ"), QStringLiteral("Конструкции металлические")},
        {QStringLiteral("ОВ"), QStringLiteral("Отопление и вентиляция")},
        {QStringLiteral("ВК"), QStringLiteral("Внутренние водопровод и канализация")},
        {QStringLiteral("ЭОМ"), QStringLiteral("Электрооборудование и электроосвещение")},
        {QStringLiteral("ТХ"), QStringLiteral("Технологические решения")},
        {QStringLiteral("АС"), QStringLiteral("Архитектурно-строительные решения")},
    };
    return m;
}

const Pool& sheetNames() {
    static const Pool p = {QStringLiteral("Общие данные"),       QStringLiteral("План 1-го этажа"),
                           QStringLiteral("План 2-го этажа"),    QStringLiteral("План кровли"),
                           QStringLiteral("Фасад 1-8"),          QStringLiteral("Разрез 1-1"),
                           QStringLiteral("Узлы и детали"),      QStringLiteral("Спецификация оборудования"),
                           QStringLiteral("Схема расположения"), QStringLiteral("Кладочный план")};
    return p;
}

const Pool& formats() {
    static const Pool p = {QStringLiteral("А1"),   QStringLiteral("А2"), QStringLiteral("А3"),
                           QStringLiteral("А3х4"), QStringLiteral("А4"), QStringLiteral("А1")};
    return p;
}

const Pool& smetaNames() {
    static const Pool p = {QStringLiteral("Локальная смета на общестроительные работы"),
                           QStringLiteral("Локальная смета на отопление и вентиляцию"),
                           QStringLiteral("Локальная смета на водопровод и канализацию"),
                           QStringLiteral("Локальная смета на электроосвещение"),
                           QStringLiteral("Объектная смета"),
                           QStringLiteral("Сводный сметный расчёт стоимости строительства")};
    return p;
}

const Pool& positionNames() {
    static const Pool p = {QStringLiteral("Бак расширительный V=2,0 м3"),
                           QStringLiteral("Площадка обслуживания"),
                           QStringLiteral("Воздуховод нестандартный"),
                           QStringLiteral("Опора трубопровода"),
                           QStringLiteral("Зонт вытяжной"),
                           QStringLiteral("Бункер приёмный"),
                           QStringLiteral("Рама под насос"),
                           QStringLiteral("Лестница-стремянка")};
    return p;
}

const Pool& naznachCodes() {
    static const Pool p = {QStringLiteral("ТХ"), QStringLiteral("ОВ"), QStringLiteral("ВК"),
                           QStringLiteral("ТМ"), QStringLiteral("ГСН")};
    return p;
}

const Pool& letterSubjects() {
    static const Pool p = {QStringLiteral("О направлении проектной документации"),
                           QStringLiteral("О согласовании технических условий"),
                           QStringLiteral("Ответ на замечания экспертизы"),
                           QStringLiteral("О продлении сроков проектирования"),
                           QStringLiteral("Запрос исходных данных"),
                           QStringLiteral("О корректировке проектной документации"),
                           QStringLiteral("Акт сдачи-приёмки документации")};
    return p;
}

const Pool& dispatchKinds() {
    static const Pool p = {QStringLiteral("Почта России"), QStringLiteral("Нарочно"),
                           QStringLiteral("Электронная почта"), QStringLiteral("Курьерская служба")};
    return p;
}

const Pool& organizationNames() {
    static const Pool p = {QStringLiteral("Администрация города Заречный"),
                           QStringLiteral("МКУ «Управление капитального строительства»"),
                           QStringLiteral("ООО «СтройИнвест»"),
                           QStringLiteral("АО «Горэлектросеть»"),
                           QStringLiteral("МУП «Водоканал»"),
                           QStringLiteral("ПАО «Россети Центр»"),
                           QStringLiteral("ООО «Теплоснаб»"),
                           QStringLiteral("АО «Газпром газораспределение»"),
                           QStringLiteral("ГАУ «Госэкспертиза»"),
                           QStringLiteral("Управление образования"),
                           QStringLiteral("ООО \"Монолит-Строй\""),
                           QStringLiteral("ООО «Геоизыскания»"),
                           QStringLiteral("ГУ МЧС России по области"),
                           QStringLiteral("Комитет по архитектуре и градостроительству"),
                           QStringLiteral("ООО «Северная энергетическая компания»"),
                           QStringLiteral("АО «Ростелеком»"),
                           QStringLiteral("ООО «СК Фундамент»"),
                           QStringLiteral("Департамент здравоохранения"),
                           QStringLiteral("ООО «ПромВентиляция»"),
                           QStringLiteral("Территориальное управление Роспотребнадзора")};
    return p;
}

const Pool& maleSurnames() {
    static const Pool p = {
        QStringLiteral("Иванов"),   QStringLiteral("Петров"),  QStringLiteral("Смирнов"),
        QStringLiteral("Кузнецов"), QStringLiteral("Соколов"), QStringLiteral("Попов"),
        QStringLiteral("Лебедев"),  QStringLiteral("Козлов"),  QStringLiteral("Новиков"),
        QStringLiteral("Морозов"),  QStringLiteral("Волков"),  QStringLiteral("Соловьёв"),
        QStringLiteral("Васильев"), QStringLiteral("Зайцев"),  QStringLiteral("Павлов"),
        QStringLiteral("Семёнов"),  QStringLiteral("Голубев"), QStringLiteral("Виноградов"),
        QStringLiteral("Богданов"), QStringLiteral("Воробьёв")};
    return p;
}

const Pool& maleNames() {
    static const Pool p = {QStringLiteral("Александр"), QStringLiteral("Сергей"),   QStringLiteral("Андрей"),
                           QStringLiteral("Дмитрий"),   QStringLiteral("Алексей"),  QStringLiteral("Михаил"),
                           QStringLiteral("Игорь"),     QStringLiteral("Владимир"), QStringLiteral("Николай"),
                           QStringLiteral("Юрий")};
    return p;
}

const Pool& femaleNames() {
    static const Pool p = {QStringLiteral("Елена"),   QStringLiteral("Ольга"),  QStringLiteral("Татьяна"),
                           QStringLiteral("Наталья"), QStringLiteral("Ирина"),  QStringLiteral("Светлана"),
                           QStringLiteral("Марина"),  QStringLiteral("Галина"), QStringLiteral("Людмила"),
                           QStringLiteral("Анна")};
    return p;
}

const Pool& patronymicStems() {
    static const Pool p = {QStringLiteral("Александров"), QStringLiteral("Сергеев"),
                           QStringLiteral("Петров"),      QStringLiteral("Иванов"),
                           QStringLiteral("Николаев"),    QStringLiteral("Викторов"),
                           QStringLiteral("Михайлов"),    QStringLiteral("Владимиров")};
    return p;
}

// The four states a document's file and mark can be in, by the document's
// running number: mostly found and marked; some present but never opened;
// some marked although the file has gone; some missing altogether.
FilePresence presence(int index) {
    switch (index % 10) {
    case 5:
    case 6:
        return {true, false};
    case 7:
        return {false, true};
    case 8:
        return {false, false};
    default:
        return {true, true};
    }
}

QVariant date(const QDate& d) {
    return d.isValid() ? QVariant(d) : QVariant();
}

QVariant text(const QString& s) {
    return s.isEmpty() ? QVariant() : QVariant(s);
}

QVariant number(int n) {
    return n ? QVariant(n) : QVariant();
}

QVariant mark(bool set, const QString& value = QStringLiteral("+")) {
    return set ? QVariant(value) : QVariant();
}

// Prepared inserts in transactions of a bounded size.
class BulkInsert {
public:
    BulkInsert(FbAttachment& att, QString sql)
        : m_att(att)
        , m_sql(std::move(sql)) {}
    ~BulkInsert() = default;

    void add(const QVector<QVariant>& values) {
        if (!m_tra) {
            m_tra = m_att.startTransaction(TransactionKind::ReadWrite);
            m_stmt = std::make_unique<FbStatement>(m_att.handle(), m_tra->handle(), m_sql);
        }
        m_stmt->execute(m_tra->handle(), values);
        ++m_count;
        if (++m_pending >= 20000)
            commit();
    }
    void commit() {
        if (!m_tra)
            return;
        m_stmt.reset();
        m_tra->commit();
        m_tra.reset();
        m_pending = 0;
    }
    int count() const { return m_count; }

private:
    FbAttachment& m_att;
    QString m_sql;
    std::unique_ptr<FbTransaction> m_tra;
    std::unique_ptr<FbStatement> m_stmt;
    int m_pending = 0;
    int m_count = 0;
};

} // namespace

DemoArchive::DemoArchive(int notes, quint32 seed)
    : m_state(0x9E3779B97F4A7C15ull ^ seed) {
    generate(std::max(notes, 1));
}

quint32 DemoArchive::next() {
    // splitmix64: the same numbers on every platform and compiler.
    quint64 z = (m_state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return quint32((z ^ (z >> 31)) >> 32);
}

int DemoArchive::range(int low, int high) {
    if (high <= low)
        return low;
    return low + int(next() % quint32(high - low + 1));
}

QDate DemoArchive::dateAt(int index, int count, const QDate& from, const QDate& to) {
    const qint64 days = from.daysTo(to);
    return from.addDays(count > 1 ? days * index / (count - 1) : 0);
}

void DemoArchive::generate(int noteCount) {
    DemoModel& m = m_model;
    const QDate lastDay(2025, 12, 5);

    // Reference dictionaries.
    const Pool gipNames = {QStringLiteral("Смирнов А.В."),  QStringLiteral("Кузнецова Е.Н."),
                           QStringLiteral("Лебедев И.П."),  QStringLiteral("Морозов Д.С."),
                           QStringLiteral("Волкова О.А."),  QStringLiteral("Зайцев Ю.М."),
                           QStringLiteral("Павлов Н.В."),   QStringLiteral("Голубева Т.И."),
                           QStringLiteral("Богданов С.А."), QStringLiteral("Новиков М.Ю.")};
    const Pool gipFull = {
        QStringLiteral("Смирнов Алексей Викторович"),    QStringLiteral("Кузнецова Елена Николаевна"),
        QStringLiteral("Лебедев Игорь Петрович"),        QStringLiteral("Морозов Дмитрий Сергеевич"),
        QStringLiteral("Волкова Ольга Александровна"),   QStringLiteral("Зайцев Юрий Михайлович"),
        QStringLiteral("Павлов Николай Владимирович"),   QStringLiteral("Голубева Татьяна Ивановна"),
        QStringLiteral("Богданов Сергей Александрович"), QStringLiteral("Новиков Михаил Юрьевич")};
    for (int i = 0; i < gipNames.size(); ++i)
        m.gips.append({i + 1, gipNames[i], gipFull[i]});

    const QVector<QPair<QString, QString>> departments = {
        {QStringLiteral("Архитектурно-строительный отдел"), QStringLiteral("Соколов В.Н.")},
        {QStringLiteral("Отдел инженерных сетей"), QStringLiteral("Васильева Г.П.")},
        {QStringLiteral("Электротехнический отдел"), QStringLiteral("Попов А.И.")},
        {QStringLiteral("Сметный отдел"), QStringLiteral("Семёнова Л.Д.")},
        {QStringLiteral("Технологический отдел"), QStringLiteral("Козлов Ю.А.")},
        {QStringLiteral("Отдел главных инженеров проектов"), QStringLiteral("Смирнов А.В.")},
        {QStringLiteral("Отдел генерального плана и транспорта"), QStringLiteral("Виноградова Н.С.")},
        {QStringLiteral("Архив"), QStringLiteral("Воробьёва И.М.")},
    };
    for (int i = 0; i < departments.size(); ++i)
        m.departments.append({i + 1, departments[i].first, departments[i].second});

    const int employeeCount = std::max(45, noteCount / 400);
    for (int i = 0; i < employeeCount; ++i) {
        const bool female = range(0, 2) == 0;
        const QString surname = pick(maleSurnames()) + (female ? QStringLiteral("а") : QString());
        const QString name = female ? pick(femaleNames()) : pick(maleNames());
        const QString patronymic =
            pick(patronymicStems()) + (female ? QStringLiteral("на") : QStringLiteral("ич"));
        m.employees.append({i + 1, range(1, int(departments.size())), 1000 + 7 * (i + 1),
                            surname + u' ' + name + u' ' + patronymic});
    }

    const Pool customers = {QStringLiteral("Администрация города Заречный"),
                            QStringLiteral("МКУ «Управление капитального строительства»"),
                            QStringLiteral("Управление образования администрации города"),
                            QStringLiteral("МУП «Теплосети»"),
                            QStringLiteral("ПАО «Россети Центр»"),
                            QStringLiteral("ООО «СтройИнвест»"),
                            QStringLiteral("Департамент здравоохранения области"),
                            QStringLiteral("МУП «Водоканал»")};
    for (int i = 0; i < customers.size(); ++i)
        m.customers.append({i + 1, customers[i].section(u' ', 0, 1), customers[i]});

    const int organizationCount = int(organizationNames().size()) + noteCount / 2000;
    for (int i = 0; i < organizationCount; ++i) {
        const QString name = i < organizationNames().size()
                                 ? organizationNames()[i]
                                 : QStringLiteral("ООО «%1-%2»").arg(pick(properNames())).arg(i);
        m.organizations.append({i + 1, name, {}});
    }

    // Builds and projects.
    const int projectCount = std::max(12, noteCount / 5);
    const int buildCount = std::max(6, projectCount / 5);
    int bkey = 0;
    QVector<int> typeOfBuild;
    for (int i = 0; i < buildCount; ++i) {
        // Numbers below 10, from 10 to 99 and from 100 on all occur.
        bkey = i == 0 ? 7 : bkey + range(1, 19);
        const int t = range(0, int(buildTypes().size()) - 1);
        const BuildType& type = buildTypes()[t];
        const Pool& source = type.nameSource == 0   ? streets()
                             : type.nameSource == 1 ? districts()
                             : type.nameSource == 3 ? kindergartens()
                                                    : properNames();
        DemoBuild b;
        b.id = i + 1;
        b.bkey = bkey;
        b.kind = type.kind;
        b.name = QString(type.nameFormat)
                     .replace(QStringLiteral("%1"), pick(source))
                     .replace(QStringLiteral("%2"), QString::number(range(1, 12) * (t == 1 || t == 2 ? 55
                                                                                    : t == 3         ? 1
                                                                                                     : 5)));
        m.builds.append(b);
        typeOfBuild.append(t);
    }

    QVector<int> projectsInBuild(buildCount, 0);
    for (int i = 0; i < projectCount; ++i) {
        DemoProject p;
        p.id = i + 1;
        p.build = int(qint64(i) * buildCount / projectCount);
        const int n = ++projectsInBuild[p.build];
        // The oldest third are projects of the old kind, numbered in the
        // institute's old series; new ones are numbered within their build.
        p.old = i < projectCount * 3 / 10;
        const Pool& names = buildTypes()[typeOfBuild[p.build]].projects;
        if (p.old) {
            p.pkey = QString::number(1200 + i);
            p.pkind = QStringLiteral("РП");
        } else {
            p.pkey = n % 4 == 0 ? QStringLiteral("%1.1").arg(n - 1) : QString::number(n);
            p.pkind = n % 3 == 1 ? QStringLiteral("П") : QStringLiteral("Р");
        }
        p.name = names[(n - 1) % names.size()];
        if (n > names.size())
            p.name += QStringLiteral(". Этап %1").arg((n - 1) / names.size() + 1);
        p.gip = pick(m.gips).name;
        // A few projects have no folder in the store at all.
        p.hasFolder = i % 23 != 11;
        m.projects.append(p);
    }
    auto buildHasFolder = [&](int project) {
        return m.projects[project].hasFolder;
    };

    // Explanatory notes with their copies.
    QVector<int> notesInProject(projectCount, 0);
    QVector<QVector<int>> notesOfBuild(buildCount);
    for (int i = 0; i < noteCount; ++i) {
        DemoNote n;
        n.id = i + 1;
        n.invnum = i + 1;
        n.project = int(qint64(i) * projectCount / noteCount);
        const int k = notesInProject[n.project]++;
        const auto& kind = noteKinds()[k % noteKinds().size()];
        n.nkey = kind.first;
        n.name = QStringLiteral("Том %1. %2").arg(k + 1).arg(kind.second);
        n.cupboard = range(1, 40);
        n.shelf = range(1, 6);
        n.received = dateAt(i, noteCount, QDate(2012, 2, 1), QDate(2025, 11, 28));
        const int st = range(0, 99);
        n.stat = st < 90 ? 0 : st < 97 ? 1 : 2;
        if (range(0, 9) < 6) {
            n.sent = std::min(n.received.addDays(range(3, 60)), lastDay);
            n.waybill =
                QStringLiteral("Н-%1/%2").arg(range(1, 480)).arg(n.sent.year() % 100, 2, 10, QChar(u'0'));
        }
        if (i % 20 == 3) {
            const DemoPerson& holder = m.employees[range(0, employeeCount - 1)];
            n.holder = holder.id;
            n.holderName = holder.fio;
            n.issued = std::min(n.received.addDays(range(10, 400)), lastDay);
        }
        n.pages = range(12, 480);
        n.pdf = presence(i);
        if (!buildHasFolder(n.project))
            n.pdf.file = false;
        n.sourceMark = n.pdf.mark && i % 2 == 0;
        const int copies = range(1, 2);
        for (int c = 1; c <= copies; ++c) {
            DemoCopy copy;
            copy.copy = c;
            copy.sent = std::min(n.received.addDays(range(1, 90)), lastDay);
            if (range(0, 2) == 0)
                copy.returned = std::min(copy.sent.addDays(range(5, 120)), lastDay);
            copy.whereIs = m.employees[range(0, employeeCount - 1)].fio;
            copy.waybill =
                QStringLiteral("Н-%1/%2").arg(range(1, 480)).arg(copy.sent.year() % 100, 2, 10, QChar(u'0'));
            n.copies.append(copy);
        }
        notesOfBuild[m.projects[n.project].build].append(n.invnum);
        m.notes.append(n);
    }

    // Estimates.
    const int smetaCount = std::max(6, noteCount / 2);
    QVector<int> smetsInProject(projectCount, 0);
    for (int i = 0; i < smetaCount; ++i) {
        DemoSmeta s;
        s.id = i + 1;
        s.invnum = i + 1;
        s.project = int(qint64(i) * projectCount / smetaCount);
        const int k = ++smetsInProject[s.project];
        s.number = QStringLiteral("02-01-%1").arg(k, 2, 10, QChar(u'0'));
        s.abcNumber = QString::number(range(100, 9999));
        s.name = smetaNames()[(k - 1) % smetaNames().size()];
        if (range(0, 4) == 0)
            s.remark = QStringLiteral("Пересчёт в цены %1 г.").arg(range(2019, 2025));
        s.cupboard = range(41, 60);
        s.shelf = range(1, 6);
        s.received = dateAt(i, smetaCount, QDate(2012, 3, 1), QDate(2025, 11, 20));
        if (range(0, 1) == 0) {
            s.sent = std::min(s.received.addDays(range(3, 40)), lastDay);
            s.waybill = QStringLiteral("С-%1").arg(range(1, 900));
        }
        const int st = range(0, 99);
        s.stat = st < 88 ? 0 : st < 96 ? 1 : 2;
        s.file = presence(i + 3);
        if (!buildHasFolder(s.project))
            s.file.file = false;
        m.smets.append(s);
    }

    // Drawing sets with their sheets.
    const int draftCount = std::max(6, noteCount / 2);
    QVector<int> draftsInProject(projectCount, 0);
    int sheetId = 0;
    for (int i = 0; i < draftCount; ++i) {
        DemoDraft d;
        d.id = i + 1;
        d.invnum = i + 1;
        d.project = int(qint64(i) * projectCount / draftCount);
        const DemoProject& p = m.projects[d.project];
        const int k = draftsInProject[d.project]++;
        const auto& mk = marks()[k % marks().size()];
        d.marka = mk.first;
        d.nomer = 1 + k / int(marks().size());
        d.nomenclatura = pad2(k + 1);
        d.spec = i % 5 == 4 ? QStringLiteral("С") : QString();
        d.name = mk.second;
        d.received = dateAt(i, draftCount, QDate(2012, 2, 15), QDate(2025, 11, 25));
        if (range(0, 1) == 0) {
            d.sent = std::min(d.received.addDays(range(3, 40)), lastDay);
            d.waybill = QStringLiteral("Ч-%1").arg(range(1, 900));
        }
        d.cupboard = range(61, 90);
        d.shelf = range(1, 6);
        d.folder = range(1, 200);
        d.format = pick(formats());
        d.hasFolder = p.hasFolder && i % 29 != 5;
        const QString code = p.old ? p.pkey : QString::number(m.builds[p.build].bkey) + u'.' + p.pkey;
        const int sheets = range(2, 5);
        for (int s = 1; s <= sheets; ++s) {
            DemoSheet sh;
            sh.id = ++sheetId;
            sh.lkey = s;
            sh.name = sheetNames()[(s - 1 + i) % sheetNames().size()];
            sh.format = pick(formats());
            const int st = range(0, 99);
            sh.stat = st < 92 ? 0 : st < 98 ? 1 : 2;
            if ((i + s) % 7 == 3)
                sh.indication.clear(); // the file is named by the sheet number
            else if ((i + s) % 11 == 5)
                sh.indication = QStringLiteral("%1.%2/%3").arg(d.marka).arg(s).arg(2);
            else
                sh.indication = QStringLiteral("%1-%2-%3.%4").arg(code, d.nomenclatura, d.marka).arg(s);
            sh.numLists = (i + s) % 13 == 7 ? 3 : 1;
            sh.drawing = d.hasFolder && (sheetId % 17 != 9);
            sh.scan = presence(sheetId + 1);
            if (!d.hasFolder)
                sh.scan.file = false;
            d.sheets.append(sh);
        }
        m.drafts.append(d);
    }

    // Positions of non-standard equipment with their drawings.
    const int positionCount = std::max(6, noteCount / 12);
    QVector<int> positionsInProject(projectCount, 0);
    int drawingId = 0;
    int drawingInvnum = 0;
    int sheet2Id = 0;
    for (int i = 0; i < positionCount; ++i) {
        DemoPosition pos;
        pos.id = i + 1;
        pos.invnum = i + 1;
        pos.project = int(qint64(i) * projectCount / positionCount);
        const int k = positionsInProject[pos.project]++;
        pos.naznach = naznachCodes()[k % naznachCodes().size()];
        pos.posit = QString::number(k + 1) + (k % 4 == 2 ? QStringLiteral("/1") : QString());
        pos.name = pick(positionNames());
        pos.received = dateAt(i, positionCount, QDate(2013, 1, 20), QDate(2025, 11, 10));
        if (range(0, 1) == 0) {
            pos.sent = std::min(pos.received.addDays(range(3, 40)), lastDay);
            pos.waybill = QStringLiteral("НО-%1").arg(range(1, 300));
        }
        const int drawings = range(1, 3);
        for (int n = 1; n <= drawings; ++n) {
            DemoEquipmentDrawing dr;
            dr.id = ++drawingId;
            dr.invnum = ++drawingInvnum;
            dr.num = n;
            dr.obozn1 = QString(pos.naznach + u'-' + pad3(pos.invnum) + u'.').left(10);
            dr.obozn2 = pad2(n) + (n == 1 ? QStringLiteral("СБ") : QString());
            dr.name =
                n == 1 ? QStringLiteral("Сборочный чертёж") : QStringLiteral("Деталировка, лист %1").arg(n);
            dr.received = pos.received;
            dr.format = pick(formats());
            dr.stat = range(0, 19) == 0 ? 1 : 0;
            dr.numList = range(1, 3);
            const bool projectFolder = m.projects[pos.project].hasFolder;
            dr.drawing = projectFolder && dr.id % 9 != 4;
            dr.scan = projectFolder && dr.id % 5 != 2;
            for (int l = 0; l < dr.numList; ++l)
                dr.sheetIds.append(++sheet2Id);
            pos.drawings.append(dr);
        }
        m.positions.append(pos);
    }

    // Letters, both ways, 2019-2025, numbered within each calendar year.
    const int letterCount = std::max(40, noteCount / 4);
    const QDate lettersFrom(2019, 1, 9);
    const int letterDays = int(lettersFrom.daysTo(QDate(2025, 12, 1)));
    for (int way = 0; way < 2; ++way) {
        QVector<DemoLetter> letters;
        for (int i = 0; i < letterCount; ++i) {
            DemoLetter l;
            l.incoming = way == 1;
            l.date = lettersFrom.addDays(range(0, letterDays));
            l.build = range(0, buildCount - 1);
            l.organization = range(1, organizationCount);
            const QString org = m.organizations[l.organization - 1].name;
            if (!l.incoming) {
                l.department = range(1, int(m.departments.size()));
                l.author = m.employees[range(0, employeeCount - 1)].fio;
                l.subject = pick(letterSubjects());
                l.contents = QStringLiteral("%1 по объекту %2").arg(l.subject, m.builds[l.build].name);
                l.whom = QStringLiteral("Руководителю: ") + org;
                l.dispatch = pick(dispatchKinds());
                l.sendDate = l.date.addDays(range(0, 5));
            } else {
                l.senderIndex =
                    QStringLiteral("исх. № %1/%2-%3").arg(range(10, 999)).arg(range(1, 12)).arg(range(1, 40));
                l.sendDate = l.date.addDays(-range(1, 10));
                l.sender = org;
                l.subject = pick(letterSubjects());
                l.contents = QStringLiteral("%1 (%2)").arg(l.subject, m.builds[l.build].name);
                l.whom = pick(m.gips).name;
                const int e = range(0, 3);
                l.execution = e == 0   ? QString()
                              : e == 1 ? QStringLiteral("На исполнении")
                                       : QStringLiteral("Исполнено");
            }
            l.file = presence(i + 5 * way);
            letters.append(l);
        }
        std::stable_sort(letters.begin(), letters.end(),
                         [](const DemoLetter& a, const DemoLetter& b) { return a.date < b.date; });
        QMap<int, int> lastOfYear;
        for (int i = 0; i < letters.size(); ++i) {
            letters[i].id = i + 1;
            letters[i].invnum = ++lastOfYear[letters[i].date.year()];
            m.letters.append(letters[i]);
        }
    }

    // Protocols of builds, numbered through the whole table.
    const int protocolCount = std::max(15, noteCount / 15);
    QVector<DemoProtocol> protocols;
    for (int i = 0; i < protocolCount; ++i) {
        DemoProtocol p;
        p.build = range(0, buildCount - 1);
        p.date = QDate(2016, 1, 11).addDays(range(0, 3600));
        const QVector<int>& notes = notesOfBuild[p.build];
        p.noteInvnum =
            notes.isEmpty() ? QStringLiteral("-") : QString::number(notes[range(0, int(notes.size()) - 1)]);
        p.contents = pick(Pool{QStringLiteral("Протокол технического совещания по проектным решениям"),
                               QStringLiteral("Протокол согласования с заказчиком"),
                               QStringLiteral("Протокол рассмотрения замечаний экспертизы"),
                               QStringLiteral("Протокол рабочего совещания")});
        p.file = presence(i + 2);
        protocols.append(p);
    }
    std::stable_sort(protocols.begin(), protocols.end(),
                     [](const DemoProtocol& a, const DemoProtocol& b) { return a.date < b.date; });
    for (int i = 0; i < protocols.size(); ++i) {
        protocols[i].id = i + 1;
        protocols[i].invnum = i + 1;
    }
    m.protocols = protocols;

    // Orders, numbered within their year.
    const int orderCount = std::max(20, noteCount / 200);
    QVector<DemoOrder> orders;
    for (int i = 0; i < orderCount; ++i) {
        DemoOrder o;
        o.date = QDate(2015, 1, 12).addDays(range(0, 3950));
        o.name = pick(Pool{QStringLiteral("О передаче проектной документации в архив"),
                           QStringLiteral("О порядке выдачи документации из архива"),
                           QStringLiteral("Об инвентаризации архива"),
                           QStringLiteral("О назначении ответственного за ведение архива"),
                           QStringLiteral("О списании аннулированной документации")});
        o.content = QStringLiteral("Контроль исполнения возложить на главного инженера");
        orders.append(o);
    }
    std::stable_sort(orders.begin(), orders.end(),
                     [](const DemoOrder& a, const DemoOrder& b) { return a.date < b.date; });
    QMap<int, int> orderOfYear;
    for (int i = 0; i < orders.size(); ++i) {
        orders[i].id = i + 1;
        orders[i].num = ++orderOfYear[orders[i].date.year()];
    }
    m.orders = orders;
}

namespace {

// Secondary indexes are switched off while rows are loaded and built once
// at the end, which is cheaper than keeping them up to date row by row.
// The indexes of keys and constraints stay.
class IndexesOff {
public:
    explicit IndexesOff(FbAttachment& db)
        : m_db(db) {
        const auto rows = db.selectText(QStringLiteral(
            "SELECT TRIM(i.RDB$INDEX_NAME) FROM RDB$INDICES i WHERE COALESCE(i.RDB$SYSTEM_FLAG, 0) = 0 "
            "AND COALESCE(i.RDB$INDEX_INACTIVE, 0) = 0 AND NOT EXISTS (SELECT 1 FROM "
            "RDB$RELATION_CONSTRAINTS c "
            "WHERE c.RDB$INDEX_NAME = i.RDB$INDEX_NAME) ORDER BY 1"));
        for (const QStringList& r : rows) {
            db.execute(QStringLiteral("ALTER INDEX %1 INACTIVE").arg(quoteName(r[0])));
            m_names << r[0];
        }
    }
    ~IndexesOff() {
        // Only reached without activate() when loading failed; the database
        // is dropped then, so errors do not matter.
        try {
            activate();
        } catch (const platform::db::Error&) {
        }
    }
    void activate() {
        while (!m_names.isEmpty())
            m_db.execute(QStringLiteral("ALTER INDEX %1 ACTIVE").arg(quoteName(m_names.takeFirst())));
    }

private:
    static QString quoteName(QString name) {
        return u'"' + name.replace(u'"', QStringLiteral("\"\"")) + u'"';
    }
    FbAttachment& m_db;
    QStringList m_names;
};

} // namespace

void DemoArchive::writeArchive(FbAttachment& archive,
                               const std::function<void(const QString&)>& progress) const {
    const DemoModel& m = m_model;
    IndexesOff indexes(archive);
    auto report = [&](const QString& table, int rows) {
        if (progress)
            progress(QStringLiteral("%1: %2").arg(table).arg(rows));
    };

    {
        BulkInsert ins(
            archive, QStringLiteral("INSERT INTO BUILDS (BUILDID, BKEY, BNAME, BKIND) VALUES (?, ?, ?, ?)"));
        for (const DemoBuild& b : m.builds)
            ins.add({b.id, b.bkey, b.name, b.kind});
        ins.commit();
        report(QStringLiteral("BUILDS"), ins.count());
    }
    {
        BulkInsert ins(archive,
                       QStringLiteral("INSERT INTO PROJECTS (PROJID, BUILDID, PKEY, PKIND, BKEY, PNAME, GIP, "
                                      "OLD, ISOLD) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        for (const DemoProject& p : m.projects) {
            const DemoBuild& b = m.builds[p.build];
            const QString flag = p.old ? QStringLiteral("T") : QStringLiteral("F");
            ins.add({p.id, b.id, p.pkey, p.pkind, b.bkey, p.name, p.gip, flag, flag});
        }
        ins.commit();
        report(QStringLiteral("PROJECTS"), ins.count());
    }
    {
        BulkInsert ins(
            archive,
            QStringLiteral("INSERT INTO NOTES (NOTEID, PROJID, INVNUM, NKEY, NOTE, CUPBOARD, SHELF, NACLAD, "
                           "STAT, DATA, DATE_OTPR, DATE_VYD, LOCATION, LOC_FIO, F_PDF, W_FILE, PAGESCOUNT) "
                           "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        BulkInsert copies(
            archive, QStringLiteral("INSERT INTO COPIES (COPYID, NOTEID, COPY, DTOTPR, DTPRIEMA, WHEREIS, "
                                    "NACLAD) VALUES (?, ?, ?, ?, ?, ?, ?)"));
        int copyId = 0;
        for (const DemoNote& n : m.notes) {
            ins.add({n.id, m.projects[n.project].id, n.invnum, n.nkey, n.name, n.cupboard, n.shelf,
                     text(n.waybill), n.stat, n.received, date(n.sent), date(n.issued), number(n.holder),
                     text(n.holderName), mark(n.pdf.mark), mark(n.sourceMark), n.pages});
            for (const DemoCopy& c : n.copies)
                copies.add({++copyId, n.id, c.copy, date(c.sent), date(c.returned), c.whereIs, c.waybill});
        }
        ins.commit();
        copies.commit();
        report(QStringLiteral("NOTES"), ins.count());
        report(QStringLiteral("COPIES"), copies.count());
    }
    {
        BulkInsert ins(archive,
                       QStringLiteral("INSERT INTO SMETS2 (SMETID, PROJID, SNOMER, ABCNOMER, INVNUM, SMETA, "
                                      "CUPBOARD, SHELF, DATA, NACLAD, DATE_OTPR, NOTE, STAT, W_FILE) "
                                      "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        for (const DemoSmeta& s : m.smets)
            ins.add({s.id, m.projects[s.project].id, s.number, s.abcNumber, s.invnum, s.name, s.cupboard,
                     s.shelf, s.received, text(s.waybill), date(s.sent), text(s.remark), s.stat,
                     mark(s.file.mark)});
        ins.commit();
        report(QStringLiteral("SMETS2"), ins.count());
    }
    {
        BulkInsert ins(
            archive,
            QStringLiteral("INSERT INTO DRAFTS (DRAFTID, PROJID, MARKA, NOMER, NOMENCLATURA, SPEC, "
                           "INVNUM, DRAFT, DATA, CUPBOARD, SHELF, FOLDER, FORMAT, DATE_OTPR, NACLAD) "
                           "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        BulkInsert sheets(
            archive, QStringLiteral("INSERT INTO LISTS (LISTID, DRAFTID, LKEY, NAME, FORMAT, STAT, "
                                    "INDICATION, NUMLISTS, MARK_TIF) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        for (const DemoDraft& d : m.drafts) {
            ins.add({d.id, m.projects[d.project].id, d.marka, d.nomer, d.nomenclatura, text(d.spec), d.invnum,
                     d.name, d.received, d.cupboard, d.shelf, d.folder, d.format, date(d.sent),
                     text(d.waybill)});
            for (const DemoSheet& s : d.sheets)
                sheets.add({s.id, d.id, s.lkey, s.name, s.format, s.stat, text(s.indication), s.numLists,
                            mark(s.scan.mark, QStringLiteral("Ц"))});
        }
        ins.commit();
        sheets.commit();
        report(QStringLiteral("DRAFTS"), ins.count());
        report(QStringLiteral("LISTS"), sheets.count());
    }
    {
        BulkInsert ins(
            archive,
            QStringLiteral("INSERT INTO D2POSIT (POSITID, PROJID, NAZNACH, POSIT, NAME, INVNUM, DATA, "
                           "DATA_OTPR, NACLAD) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        BulkInsert drawings(
            archive, QStringLiteral("INSERT INTO DRAFTS2 (DRAFT2ID, POSITID, NAZNACH, POSIT, INVNUM, OBOZN1, "
                                    "OBOZN2, NAME, DATA, FORMAT, STAT, NUM, NUMLIST) "
                                    "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        BulkInsert sheets(
            archive, QStringLiteral("INSERT INTO LISTS2 (LISTID, DRAFTID, LKEY, NAME) VALUES (?, ?, ?, ?)"));
        for (const DemoPosition& p : m.positions) {
            ins.add({p.id, m.projects[p.project].id, p.naznach, p.posit, p.name, p.invnum, p.received,
                     date(p.sent), text(p.waybill)});
            for (const DemoEquipmentDrawing& d : p.drawings) {
                drawings.add({d.id, p.id, p.naznach, p.posit, d.invnum, d.obozn1, d.obozn2, d.name,
                              d.received, d.format, d.stat, d.num, d.numList});
                for (int l = 0; l < d.sheetIds.size(); ++l)
                    sheets.add({d.sheetIds[l], d.id, l + 1, QStringLiteral("Лист %1").arg(l + 1)});
            }
        }
        ins.commit();
        drawings.commit();
        sheets.commit();
        report(QStringLiteral("D2POSIT"), ins.count());
        report(QStringLiteral("DRAFTS2"), drawings.count());
        report(QStringLiteral("LISTS2"), sheets.count());
    }
    {
        BulkInsert out(archive,
                       QStringLiteral("INSERT INTO LETTERISH (LETID, BUILDID, SHIFRPODR, SHIFRNOM, INVNUM, "
                                      "ISPOLNIT, NAME, CONTENTS, WHOM, VIDOTPR, DATA, W_FILE, DATE_SEND, "
                                      "ORGANIZATION) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        BulkInsert in(
            archive,
            QStringLiteral("INSERT INTO LETTERVH (LETVHID, BUILDID, DATE_RECIVE, SHIFRNOM_VH, INVNUM, "
                           "INDEX_DOC, DATE_SEND, SENDER_VH, CONTENTS_VH, WHOM_VH, MARK_VH, W_FILE, "
                           "ORGANIZATION) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        for (const DemoLetter& l : m.letters) {
            const DemoBuild& b = m.builds[l.build];
            if (!l.incoming)
                out.add({l.id, b.id, l.department, b.bkey, l.invnum, l.author, l.subject, l.contents, l.whom,
                         l.dispatch, l.date, mark(l.file.mark), l.sendDate, l.organization});
            else
                in.add({l.id, b.id, l.date, b.bkey, l.invnum, l.senderIndex,
                        l.sendDate.toString(QStringLiteral("dd.MM.yyyy")), l.sender, l.contents, l.whom,
                        text(l.execution), mark(l.file.mark), l.organization});
        }
        out.commit();
        in.commit();
        report(QStringLiteral("LETTERISH"), out.count());
        report(QStringLiteral("LETTERVH"), in.count());
    }
    {
        // The protocol's key comes from its generator, as the program takes it.
        BulkInsert ins(
            archive,
            QStringLiteral("INSERT INTO PROTOCOLS (ID, OBJECT, DATA, TYPE, CONTENTS, BUILDID, INVNUM, "
                           "W_FILE) VALUES (GEN_ID(PROTOCOLS_ID_GEN, 1), ?, ?, ?, ?, ?, ?, ?)"));
        for (const DemoProtocol& p : m.protocols) {
            const DemoBuild& b = m.builds[p.build];
            ins.add({b.id, p.date, p.noteInvnum, p.contents, b.id, p.invnum, mark(p.file.mark)});
        }
        ins.commit();
        report(QStringLiteral("PROTOCOLS"), ins.count());
    }
    {
        BulkInsert ins(
            archive, QStringLiteral(
                         "INSERT INTO PRIKAZ (ID, NUM, DATE_CREATE, NAME, CONTENT) VALUES (?, ?, ?, ?, ?)"));
        for (const DemoOrder& o : m.orders)
            ins.add({o.id, o.num, o.date, o.name, o.content});
        ins.commit();
        report(QStringLiteral("PRIKAZ"), ins.count());
    }
    {
        BulkInsert ins(archive, QStringLiteral("INSERT INTO ORGANIZATION (ID, NAME) VALUES (?, ?)"));
        for (const DemoNamed& o : m.organizations)
            ins.add({o.id, o.name});
        ins.commit();
        report(QStringLiteral("ORGANIZATION"), ins.count());
    }
    indexes.activate();
}

void DemoArchive::writeReference(FbAttachment& sprav,
                                 const std::function<void(const QString&)>& progress) const {
    const DemoModel& m = m_model;
    auto report = [&](const QString& table, int rows) {
        if (progress)
            progress(QStringLiteral("%1: %2").arg(table).arg(rows));
    };
    {
        BulkInsert ins(sprav, QStringLiteral("INSERT INTO GIP (GIPID, NAME, FULLNAME) VALUES (?, ?, ?)"));
        for (const DemoNamed& g : m.gips)
            ins.add({g.id, g.name, g.fullName});
        ins.commit();
        report(QStringLiteral("GIP"), ins.count());
    }
    {
        BulkInsert ins(sprav, QStringLiteral("INSERT INTO OTDEL (OTDELID, OTDEL, BOSS) VALUES (?, ?, ?)"));
        for (const DemoNamed& d : m.departments)
            ins.add({d.id, d.name, d.fullName});
        ins.commit();
        report(QStringLiteral("OTDEL"), ins.count());
    }
    {
        BulkInsert ins(
            sprav, QStringLiteral("INSERT INTO SOTRUD (SOTRID, OTDELID, TABNOM, FIO) VALUES (?, ?, ?, ?)"));
        for (const DemoPerson& p : m.employees)
            ins.add({p.id, p.department, p.tabnom, p.fio});
        ins.commit();
        report(QStringLiteral("SOTRUD"), ins.count());
    }
    {
        BulkInsert ins(sprav,
                       QStringLiteral("INSERT INTO CUSTOMER (CUSTID, NAME, FULLNAME) VALUES (?, ?, ?)"));
        for (const DemoNamed& c : m.customers)
            ins.add({c.id, c.name, c.fullName});
        ins.commit();
        report(QStringLiteral("CUSTOMER"), ins.count());
    }
}

} // namespace admin
