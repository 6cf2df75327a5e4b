// SPDX-License-Identifier: GPL-3.0-or-later
// Reads arbitrary bytes as a batch's list of pagers, then applies every row the list
// yields to a window holding the start-up settings, as a batch applies it: the template
// restored, the row's values set, checked or picked, the pre-store checks and the encoder.
//
// The list is the user's own file: the parser may refuse it (with a reason) but never
// crash. A row it accepts has exactly one value per column; a row it refuses has none and
// says why; rows keep increasing line numbers. Applying a row may end in EditError (a
// value a field refuses) or ConversionError (a number field that is no number), as the
// batch reports them; any other exception, or a record outside its schema, is a fault.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "files/pager_list.h"
#include "record_invariants.h"
#include "ui/batch_job.h"
#include "ui/vendrel.h"

namespace {

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "%s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const palor::PagerListOutcome read = palor::parsePagerList(text);
  if (!read) {
    if (read.error.empty()) fail("a list refused without a reason");
    return 0;
  }
  const palor::PagerList& list = *read.list;
  int line = 0;
  for (const palor::PagerList::Row& row : list.rows) {
    if (row.line <= line) fail("rows out of line order");
    line = row.line;
    if (row.problem.empty() ? row.values.size() != list.columns.size() : !row.values.empty())
      fail("a row's values do not match its columns");
  }

  std::vector<palor::BatchRow> rows;
  try {
    rows = palor::rowsFromList(list);
  } catch (const palor::EditError&) {
    return 0;  // a derived field named as a column: a usage error
  }
  palor::FormState form;
  const palor::SettingsRecord::Values start = form.record().values();
  for (const palor::BatchRow& row : rows) {
    form.record().restore(start);
    try {
      if (!row.problem.empty()) continue;
      for (const palor::ScriptedEdit& edit : row.edits) {
        palor::applyEdit(form, edit);
        (void)form.record().takeFocusRequest();
      }
      if (form.PreStoreChecks()) (void)form.encodeWriteImage();
    } catch (const palor::EditError&) {
    } catch (const palor::ConversionError&) {
    }
    palor::fuzz::checkRecordInvariants(form.record());
  }
  return 0;
}
