// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/record_store.h"

#include <fcntl.h>
#include <soci/postgresql/soci-postgresql.h>
#include <soci/sqlite3/soci-sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <deque>
#include <exception>
#include <filesystem>
#include <functional>
#include <unordered_map>

#include "config/latin1_text.h"
#include "records/store_session.h"

namespace palor::records {

struct RecordStore::Session : StoreSession {};

namespace {

// ---- texts -------------------------------------------------------------------------------

bool isUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const int more = lead < 0x80             ? 0
                     : (lead & 0xE0) == 0xC0 ? 1
                     : (lead & 0xF0) == 0xE0 ? 2
                     : (lead & 0xF8) == 0xF0 ? 3
                                             : -1;
    if (more < 0 || (more == 1 && lead < 0xC2) || i + more >= text.size() + (more ? 0 : 1))
      return false;
    for (int k = 1; k <= more; ++k)
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    i += more + 1;
  }
  return true;
}

// The pager's own texts (serial, pager number) are bytes read as Latin-1; the database holds
// them as UTF-8 and gives them back as the same bytes.
std::string pagerText(std::string_view bytes) { return latin1ToUtf8(bytes); }
std::string pagerBytes(std::string_view utf8) {
  std::string bytes;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if ((c & 0xE0) == 0xC0 && i + 1 < utf8.size()) {
      bytes += static_cast<char>(((c & 0x1F) << 6) | (utf8[++i] & 0x3F));
    } else {
      bytes += static_cast<char>(c);
    }
  }
  return bytes;
}
// The system's texts (host, login and port names, the status line) are UTF-8; one that is
// not is taken as Latin-1, so that no server refuses a record for its encoding.
std::string systemText(std::string_view text) {
  return isUtf8(text) ? std::string(text) : latin1ToUtf8(text);
}

std::string toHex(const ConfigImage& image) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(image.size() * 2);
  for (std::uint8_t byte : image) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 0x0F];
  }
  return hex;
}

ConfigImage fromHex(const std::string& hex) {
  if (hex.size() != kImageSize * 2) throw std::runtime_error("an image of the wrong length");
  auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    throw std::runtime_error("an image that is not hexadecimal");
  };
  ConfigImage image{};
  for (std::size_t i = 0; i < image.size(); ++i)
    image[i] = static_cast<std::uint8_t>(digit(hex[2 * i]) << 4 | digit(hex[2 * i + 1]));
  return image;
}

bool isDay(std::string_view day) {
  if (day.size() != 10 || day[4] != '-' || day[7] != '-') return false;
  for (std::size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
    if (!std::isdigit(static_cast<unsigned char>(day[i]))) return false;
  return true;
}

// ---- errors ------------------------------------------------------------------------------

std::string decodePercent(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() + 0 &&
        std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
      out += static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

// The password a server URI carries, in its user part or as a parameter.
std::string passwordIn(const std::string& uri) {
  const std::size_t authority = uri.find("://") + 3;
  const std::size_t authorityEnd = std::min(uri.find_first_of("/?", authority), uri.size());
  const std::string hosts = uri.substr(authority, authorityEnd - authority);
  if (const std::size_t at = hosts.rfind('@'); at != std::string::npos) {
    const std::string user = hosts.substr(0, at);
    if (const std::size_t colon = user.find(':'); colon != std::string::npos)
      return decodePercent(user.substr(colon + 1));
  }
  for (std::size_t at = uri.find("password=", authorityEnd); at != std::string::npos;
       at = uri.find("password=", at + 1)) {
    if (uri[at - 1] != '?' && uri[at - 1] != '&') continue;
    const std::size_t start = at + 9;
    return decodePercent(uri.substr(start, uri.find('&', start) - start));
  }
  return {};
}

std::string withoutSecret(std::string text, const std::string& secret) {
  if (secret.empty()) return text;
  for (std::size_t at = text.find(secret); at != std::string::npos; at = text.find(secret, at + 3))
    text.replace(at, secret.size(), "***");
  return text;
}

std::string trimmed(std::string text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
  return text;
}

StoreError failure(const RecordsLocation& location, const std::string& secret,
                   const std::string& what) {
  const std::string where = location.kind == RecordsLocation::Kind::Server
                                ? "Records server " + describe(location)
                                : "Records file " + location.target;
  return StoreError{withoutSecret(where + ": " + trimmed(what), secret)};
}

// Runs `work` on the session; whatever the database throws comes back as a StoreError.
template <typename T>
StoreResult<T> guarded(StoreSession& s, const std::function<T()>& work) {
  try {
    return work();
  } catch (const std::exception& error) {
    return failure(s.location, s.secret, error.what());
  } catch (...) {
    return failure(s.location, s.secret, "an unknown failure of the database");
  }
}

// ---- statements --------------------------------------------------------------------------

// A statement built piece by piece: its values live as long as it does.
class Query {
 public:
  explicit Query(soci::session& sql) : statement_(sql) {}
  std::string text;
  // Appends a placeholder for `value` to the text.
  void bind(std::string value) {
    const std::string name = "p" + std::to_string(strings_.size() + ints_.size());
    strings_.push_back(std::move(value));
    uses_.push_back(
        [this, name, &v = strings_.back()] { statement_.exchange(soci::use(v, name)); });
    text += ":" + name;
  }
  void bind(int value) {
    const std::string name = "p" + std::to_string(strings_.size() + ints_.size());
    ints_.push_back(value);
    uses_.push_back([this, name, &v = ints_.back()] { statement_.exchange(soci::use(v, name)); });
    text += ":" + name;
  }
  soci::statement& prepare() {
    statement_.alloc();
    statement_.prepare(text);
    for (const auto& use : uses_) use();
    return statement_;
  }

 private:
  soci::statement statement_;
  std::deque<std::string> strings_;
  std::deque<int> ints_;
  std::vector<std::function<void()>> uses_;
};

// The columns of a record as a history or a lookup reads them.
struct RecordRow {
  long long id = 0;
  std::string uid, started, finished, operation, outcome, lastLine, desk, operatorName, port,
      portPath, pagerNumber, serial, before, image;
  int blocks = 0, firmware = 0, revision = 0, beforeOk = 1, hasBefore = 0, hasImage = 0;
  soci::indicator beforeSet = soci::i_null, imageSet = soci::i_null;

  static std::string columns(bool withImages) {
    return "r.id, r.uid, r.started, r.finished, r.operation, r.outcome, r.last_line, r.blocks, "
           "r.desk, r.operator, r.port, r.port_path, r.firmware, r.revision, r.pager_number, "
           "r.serial, r.before_checksum_ok, "
           "CASE WHEN r.before_image IS NULL THEN 0 ELSE 1 END, "
           "CASE WHEN r.image IS NULL THEN 0 ELSE 1 END" +
           std::string(withImages ? ", r.before_image, r.image" : "");
  }
  void into(soci::statement& st, bool withImages) {
    st.exchange(soci::into(id));
    st.exchange(soci::into(uid));
    st.exchange(soci::into(started));
    st.exchange(soci::into(finished));
    st.exchange(soci::into(operation));
    st.exchange(soci::into(outcome));
    st.exchange(soci::into(lastLine));
    st.exchange(soci::into(blocks));
    st.exchange(soci::into(desk));
    st.exchange(soci::into(operatorName));
    st.exchange(soci::into(port));
    st.exchange(soci::into(portPath));
    st.exchange(soci::into(firmware));
    st.exchange(soci::into(revision));
    st.exchange(soci::into(pagerNumber));
    st.exchange(soci::into(serial));
    st.exchange(soci::into(beforeOk));
    st.exchange(soci::into(hasBefore));
    st.exchange(soci::into(hasImage));
    if (withImages) {
      st.exchange(soci::into(before, beforeSet));
      st.exchange(soci::into(image, imageSet));
    }
  }
  ProgrammingRecord record(bool withImages) const {
    ProgrammingRecord r;
    r.id = id;
    r.uid = uid;
    r.started = started;
    r.finished = finished;
    r.operation = operationNamed(operation).value_or(Operation::Read);
    r.outcome = outcomeNamed(outcome).value_or(Outcome::Failed);
    r.lastLine = lastLine;
    r.blocks = blocks;
    r.desk = desk;
    r.operatorName = operatorName;
    r.port = port;
    r.portPath = portPath;
    r.firmware = firmware;
    r.revision = revision;
    r.pagerNumber = pagerBytes(pagerNumber);
    r.serial = pagerBytes(serial);
    r.beforeChecksumOk = beforeOk != 0;
    if (withImages && beforeSet == soci::i_ok) r.before = fromHex(before);
    if (withImages && imageSet == soci::i_ok) r.image = fromHex(image);
    return r;
  }
};

// Reads the records a query selects (its text after the column list), in its order.
std::vector<HistoryEntry> readRecords(StoreSession& s, Query& query, bool withImages) {
  RecordRow row;
  soci::statement& st = query.prepare();
  row.into(st, withImages);
  st.define_and_bind();
  st.execute(false);
  std::vector<HistoryEntry> entries;
  while (st.fetch())
    entries.push_back({row.record(withImages), row.hasBefore != 0, row.hasImage != 0});
  if (entries.empty()) return entries;

  // Their addresses, a slice of records at a time.
  std::unordered_map<long long, ProgrammingRecord*> byId;
  for (auto& entry : entries) byId[entry.record.id] = &entry.record;
  constexpr std::size_t kSlice = 500;
  for (std::size_t first = 0; first < entries.size(); first += kSlice) {
    std::string ids;
    for (std::size_t i = first; i < std::min(entries.size(), first + kSlice); ++i)
      ids += (ids.empty() ? "" : ",") + std::to_string(entries[i].record.id);
    long long recordId = 0;
    int enabled = 0;
    AddressEntry address;
    soci::statement rows =
        (s.sql.prepare << "SELECT record_id, \"row\", address, enabled, msgtype FROM addresses "
                          "WHERE record_id IN (" +
                              ids + ") ORDER BY record_id, \"row\"",
         soci::into(recordId), soci::into(address.row), soci::into(address.address),
         soci::into(enabled), soci::into(address.msgtype));
    rows.execute(false);
    while (rows.fetch()) {
      address.enabled = enabled != 0;
      byId[recordId]->addresses.push_back(address);
    }
  }
  return entries;
}

// Appends the filter's conditions (after WHERE) to the query.
void filterWhere(const StoreSession& s, Query& query, const HistoryFilter& filter) {
  query.text += " WHERE 1 = 1";
  if (filter.capcode) {
    query.text += " AND r.id IN (SELECT record_id FROM addresses WHERE address = ";
    query.bind(*filter.capcode);
    query.text += ")";
  }
  if (filter.serial) {
    query.text += " AND r.serial = ";
    query.bind(pagerText(*filter.serial));
  }
  if (filter.pagerNumber) {
    query.text += " AND r.pager_number = ";
    query.bind(pagerText(*filter.pagerNumber));
  }
  if (filter.since) {
    if (!isDay(*filter.since)) throw std::runtime_error("not a day (YYYY-MM-DD): " + *filter.since);
    query.text += " AND r.started >= ";
    query.bind(*filter.since);
  }
  if (!filter.text.empty()) {
    // Anywhere in the texts, letters of either case, '%' and '_' taken as they are.
    std::string pattern = "%";
    for (char c : systemText(filter.text)) {
      if (c == '%' || c == '_' || c == '\\') pattern += '\\';
      pattern += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    pattern += "%";
    const std::string capcode =
        s.postgres ? "lpad(CAST(a.address AS TEXT), 7, '0')" : "printf('%07d', a.address)";
    query.text += " AND (";
    const char* columns[] = {"r.serial", "r.pager_number", "r.desk",     "r.operator",
                             "r.port",   "r.port_path",    "r.last_line"};
    for (const char* column : columns) {
      query.text += std::string("lower(") + column + ") LIKE ";
      query.bind(pattern);
      query.text += " ESCAPE '\\' OR ";
    }
    query.text +=
        "EXISTS (SELECT 1 FROM addresses a WHERE a.record_id = r.id AND " + capcode + " LIKE ";
    query.bind(pattern);
    query.text += " ESCAPE '\\'))";
  }
}

void makeFolder(const std::filesystem::path& folder) {
  if (folder.empty() || std::filesystem::exists(folder)) return;
  makeFolder(folder.parent_path());
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
    throw std::runtime_error("cannot make the folder " + folder.string() + ": " +
                             std::strerror(errno));
}

// The file made (mode 0600, in a folder made with mode 0700) before SQLite opens it, so that
// it is never readable by others, not even for a moment.
void prepareFile(const std::string& path) {
  if (path.empty())
    throw std::runtime_error("no place for the records: neither XDG_DATA_HOME nor HOME is set");
  makeFolder(std::filesystem::path(path).parent_path());
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) throw std::runtime_error(std::strerror(errno));
  ::close(fd);
}

std::string withConnectTimeout(const std::string& uri) {
  if (uri.find("connect_timeout=") != std::string::npos) return uri;
  return uri + (uri.find('?') == std::string::npos ? "?" : "&") + "connect_timeout=3";
}

}  // namespace

RecordStore::RecordStore(std::unique_ptr<Session> session) : session_(std::move(session)) {}
RecordStore::~RecordStore() = default;

const RecordsLocation& RecordStore::location() const { return session_->location; }

StoreResult<std::unique_ptr<RecordStore>> RecordStore::open(const RecordsLocation& location,
                                                            int upToVersion) {
  auto session = std::make_unique<Session>();
  session->location = location;
  session->postgres = location.kind == RecordsLocation::Kind::Server;
  if (session->postgres) session->secret = passwordIn(location.target);
  try {
    switch (location.kind) {
      case RecordsLocation::Kind::Off: return StoreError{"Records are off"};
      case RecordsLocation::Kind::File:
        prepareFile(location.target);
        session->sql.open(*soci::factory_sqlite3(), location.target);
        // The time-out first: the other pragmas may already wait for another writer.
        session->sql << "PRAGMA busy_timeout = 5000";
        {
          std::string mode;
          session->sql << "PRAGMA journal_mode = WAL", soci::into(mode);
          if (mode != "wal")
            throw std::runtime_error("no write-ahead log (journal mode " + mode + ")");
        }
        session->sql << "PRAGMA synchronous = NORMAL";
        session->sql << "PRAGMA foreign_keys = ON";
        break;
      case RecordsLocation::Kind::Server:
        session->sql.open(*soci::factory_postgresql(), withConnectTimeout(location.target));
        break;
    }
    session->version = migrate(*session, upToVersion);
  } catch (const std::exception& error) {
    return failure(location, session->secret, error.what());
  }
  return std::unique_ptr<RecordStore>(new RecordStore(std::move(session)));
}

StoreResult<int> RecordStore::schemaVersion() {
  return guarded<int>(*session_, [&] {
    int version = 0;
    session_->sql << "SELECT MAX(version) FROM schema_version", soci::into(version);
    return version;
  });
}

StoreResult<std::int64_t> RecordStore::add(const ProgrammingRecord& record,
                                           std::string_view pendingFor) {
  auto ids = addAll({&record, 1}, pendingFor);
  if (!ids) return ids.error();
  return ids.value().front();
}

StoreResult<std::vector<std::int64_t>> RecordStore::addAll(
    std::span<const ProgrammingRecord> records, std::string_view pendingFor) {
  StoreSession& s = *session_;
  return guarded<std::vector<std::int64_t>>(s, [&] {
    if (!pendingFor.empty() && s.version < 2)
      throw std::runtime_error("this store's schema keeps no records for delivery");
    std::vector<std::int64_t> ids;
    Transaction transaction(s);
    for (const ProgrammingRecord& record : records) {
      std::string uid = record.uid.empty() ? newUid(record.desk) : record.uid;
      std::string operation(operationName(record.operation));
      std::string outcome(outcomeName(record.outcome));
      std::string lastLine = systemText(record.lastLine), desk = systemText(record.desk),
                  operatorName = systemText(record.operatorName), port = systemText(record.port),
                  portPath = systemText(record.portPath);
      std::string pagerNumber = pagerText(record.pagerNumber), serial = pagerText(record.serial);
      std::string before = record.before ? toHex(*record.before) : std::string();
      std::string image = record.image ? toHex(*record.image) : std::string();
      soci::indicator beforeSet = record.before ? soci::i_ok : soci::i_null;
      soci::indicator imageSet = record.image ? soci::i_ok : soci::i_null;
      int beforeOk = record.beforeChecksumOk ? 1 : 0;
      std::string pending(pendingFor);
      soci::indicator pendingSet = pendingFor.empty() ? soci::i_null : soci::i_ok;
      const bool withPending = s.version >= 2;

      long long id = 0;
      soci::indicator idSet = soci::i_null;
      soci::statement insert(s.sql);
      insert.alloc();
      insert.prepare(
          "INSERT INTO records (uid, started, finished, operation, outcome, last_line, blocks, "
          "desk, operator, port, port_path, firmware, revision, pager_number, serial, "
          "before_image, before_checksum_ok, image" +
          std::string(withPending ? ", pending" : "") +
          ") VALUES (:uid, :started, :finished, :operation, :outcome, :last_line, :blocks, "
          ":desk, :operator, :port, :port_path, :firmware, :revision, :pager_number, :serial, "
          ":before_image, :before_checksum_ok, :image" +
          std::string(withPending ? ", :pending" : "") +
          ") ON CONFLICT (uid) DO NOTHING RETURNING id");
      insert.exchange(soci::use(uid, "uid"));
      insert.exchange(soci::use(record.started, "started"));
      insert.exchange(soci::use(record.finished, "finished"));
      insert.exchange(soci::use(operation, "operation"));
      insert.exchange(soci::use(outcome, "outcome"));
      insert.exchange(soci::use(lastLine, "last_line"));
      insert.exchange(soci::use(record.blocks, "blocks"));
      insert.exchange(soci::use(desk, "desk"));
      insert.exchange(soci::use(operatorName, "operator"));
      insert.exchange(soci::use(port, "port"));
      insert.exchange(soci::use(portPath, "port_path"));
      insert.exchange(soci::use(record.firmware, "firmware"));
      insert.exchange(soci::use(record.revision, "revision"));
      insert.exchange(soci::use(pagerNumber, "pager_number"));
      insert.exchange(soci::use(serial, "serial"));
      insert.exchange(soci::use(before, beforeSet, "before_image"));
      insert.exchange(soci::use(beforeOk, "before_checksum_ok"));
      insert.exchange(soci::use(image, imageSet, "image"));
      if (withPending) insert.exchange(soci::use(pending, pendingSet, "pending"));
      insert.exchange(soci::into(id, idSet));
      insert.define_and_bind();
      const bool inserted = insert.execute(true) && idSet == soci::i_ok;
      if (!inserted) {
        // Delivered before: the record keeps the id it has.
        s.sql << "SELECT id FROM records WHERE uid = :uid", soci::use(uid), soci::into(id);
        ids.push_back(id);
        continue;
      }
      for (const AddressEntry& address : record.addresses) {
        int enabled = address.enabled ? 1 : 0;
        std::string msgtype = systemText(address.msgtype);
        s.sql << "INSERT INTO addresses (record_id, \"row\", address, enabled, msgtype) "
                 "VALUES (:id, :row, :address, :enabled, :msgtype)",
            soci::use(id), soci::use(address.row), soci::use(address.address), soci::use(enabled),
            soci::use(msgtype);
      }
      ids.push_back(id);
    }
    transaction.commit();
    return ids;
  });
}

StoreResult<std::optional<ProgrammingRecord>> RecordStore::find(std::int64_t id) {
  StoreSession& s = *session_;
  return guarded<std::optional<ProgrammingRecord>>(s, [&]() -> std::optional<ProgrammingRecord> {
    Query query(s.sql);
    query.text =
        "SELECT " + RecordRow::columns(true) + " FROM records r WHERE r.id = " + std::to_string(id);
    auto entries = readRecords(s, query, true);
    if (entries.empty()) return std::nullopt;
    return std::move(entries.front().record);
  });
}

StoreResult<std::vector<HistoryEntry>> RecordStore::history(const HistoryFilter& filter) {
  StoreSession& s = *session_;
  return guarded<std::vector<HistoryEntry>>(s, [&] {
    Query query(s.sql);
    query.text = "SELECT " + RecordRow::columns(false) + " FROM records r";
    filterWhere(s, query, filter);
    query.text += " ORDER BY r.started DESC, r.id DESC";
    if (filter.limit > 0) query.text += " LIMIT " + std::to_string(filter.limit);
    if (filter.offset > 0)
      query.text += std::string(filter.limit > 0 || s.postgres ? "" : " LIMIT -1") + " OFFSET " +
                    std::to_string(filter.offset);
    return readRecords(s, query, false);
  });
}

StoreResult<std::int64_t> RecordStore::count(const HistoryFilter& filter) {
  StoreSession& s = *session_;
  return guarded<std::int64_t>(s, [&] {
    Query query(s.sql);
    query.text = "SELECT COUNT(*) FROM records r";
    filterWhere(s, query, filter);
    long long n = 0;
    soci::statement& st = query.prepare();
    st.exchange(soci::into(n));
    st.define_and_bind();
    st.execute(true);
    return static_cast<std::int64_t>(n);
  });
}

StoreResult<std::optional<CapcodeHolder>> RecordStore::capcodeHolder(int address,
                                                                     std::string_view pagerNumber) {
  StoreSession& s = *session_;
  return guarded<std::optional<CapcodeHolder>>(s, [&]() -> std::optional<CapcodeHolder> {
    // The writes that count: completed ones that put an image on a pager. Of each pager
    // number only the latest says what the pager holds now.
    static const std::string kWrote =
        "outcome = 'completed' AND operation IN ('write', 'repair-write', 'restore')";
    std::string number = pagerText(pagerNumber);
    long long id = 0;
    CapcodeHolder holder;
    s.sql << "SELECT r.id, r.pager_number, r.finished, r.desk FROM addresses a "
             "JOIN records r ON r.id = a.record_id "
             "WHERE a.address = :address AND a.enabled = 1 AND r.pager_number <> :number AND "
             "r." +
                 kWrote +
                 " AND NOT EXISTS (SELECT 1 FROM records n "
                 "WHERE n.pager_number = r.pager_number AND n." +
                 kWrote +
                 " AND "
                 "(n.finished > r.finished OR (n.finished = r.finished AND n.id > r.id))) "
                 "ORDER BY r.finished DESC, r.id DESC LIMIT 1",
        soci::use(address, "address"), soci::use(number, "number"), soci::into(id),
        soci::into(holder.pagerNumber), soci::into(holder.finished), soci::into(holder.desk);
    if (!s.sql.got_data()) return std::nullopt;
    holder.recordId = id;
    holder.pagerNumber = pagerBytes(holder.pagerNumber);
    return holder;
  });
}

StoreResult<std::int64_t> RecordStore::prune(std::string_view day) {
  StoreSession& s = *session_;
  return guarded<std::int64_t>(s, [&] {
    if (!isDay(day)) throw std::runtime_error("not a day (YYYY-MM-DD): " + std::string(day));
    std::string before(day);
    // Records that still wait for their server stay until they are delivered.
    const std::string waiting = s.version >= 2 ? " AND pending IS NULL" : "";
    Transaction transaction(s);
    long long n = 0;
    s.sql << "SELECT COUNT(*) FROM records WHERE started < :day" + waiting, soci::use(before),
        soci::into(n);
    s.sql << "DELETE FROM records WHERE started < :day" + waiting, soci::use(before);
    transaction.commit();
    return static_cast<std::int64_t>(n);
  });
}

StoreResult<std::vector<ProgrammingRecord>> RecordStore::pending(std::string_view server) {
  StoreSession& s = *session_;
  return guarded<std::vector<ProgrammingRecord>>(s, [&] {
    std::vector<ProgrammingRecord> records;
    if (s.version < 2) return records;
    Query query(s.sql);
    query.text = "SELECT " + RecordRow::columns(true) + " FROM records r WHERE r.pending = ";
    query.bind(std::string(server));
    query.text += " ORDER BY r.id";
    for (auto& entry : readRecords(s, query, true)) records.push_back(std::move(entry.record));
    return records;
  });
}

StoreDone RecordStore::markDelivered(std::int64_t id) {
  StoreSession& s = *session_;
  return guarded<std::monostate>(s, [&] {
    long long key = id;
    s.sql << "UPDATE records SET pending = NULL WHERE id = :id", soci::use(key);
    return std::monostate{};
  });
}

}  // namespace palor::records
