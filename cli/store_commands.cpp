#include "cli/store_commands.h"

#include <algorithm>
#include <fstream>

#include "cli/hints.h"
#include "provider/store_administration.h"
#include "runtime/program.h"

namespace orvane::cli {
namespace {

namespace fs = std::filesystem;
using provider::ListedCertificate;
using provider::StoredCertificate;
using provider::StoreError;

using Row = std::vector<std::string>;

// Rows in columns two spaces apart; the last column is not padded.
std::string table(const std::vector<Row>& rows) {
  std::vector<std::size_t> widths;
  for (const auto& row : rows) {
    widths.resize(std::max(widths.size(), row.size()));
    for (std::size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], row[i].size());
  }
  std::string text;
  for (const auto& row : rows) {
    if (!text.empty()) text += '\n';
    for (std::size_t i = 0; i < row.size(); ++i) {
      text += row[i];
      if (i + 1 < row.size()) text += std::string(widths[i] - row[i].size() + 2, ' ');
    }
  }
  return text;
}

std::string lines(const std::vector<std::string>& items) {
  std::string text;
  for (const auto& item : items) text += (text.empty() ? "" : "\n") + item;
  return text;
}

Row listing_row(const ListedCertificate& listed) {
  const auto& summary = listed.summary;
  return {listed.store,
          summary.serial,
          summary.subject,
          summary.issuer,
          summary.valid_from,
          summary.valid_to,
          listed.has_key ? "yes" : "no",
          listed.trusted ? "yes" : "no: " + listed.why_not_trusted};
}

Outcome list_command(const Settings& settings) {
  const auto listing = provider::list_stores(settings.store_root);
  std::vector<Row> rows{
      {"STORE", "SERIAL", "SUBJECT", "ISSUER", "VALID FROM", "VALID TO", "KEY", "TRUSTED"}};
  for (const auto& listed : listing.certificates) rows.push_back(listing_row(listed));
  std::string answer = table(rows);
  answer += "\n\nCRLs: " + std::to_string(listing.crl_count) +
            (provider::has_store_folders() ? " in CRL/" : " in your CA and Root stores");
  if (!listing.skipped.empty()) {
    answer += "\n\nSkipped files:";
    for (const auto& file : listing.skipped) {
      answer += "\n  " + path_to_utf8(file.path) + ": " + file.reason;
    }
  }

  if (!listing.not_used.empty()) {
    answer += "\n\nNot used:";
    for (const auto& line : listing.not_used) answer += "\n  " + line;
  }

  if (!listing.smart_card_notes.empty()) {
    answer += "\n\nSmart cards passed over:";
    for (const auto& note : listing.smart_card_notes) answer += "\n  " + note;
  }

  Outcome outcome{answer, listing.problems.empty() ? exit_success : exit_failure, listing.problems};
  if (listing.certificates.empty() && listing.problems.empty()) {
    const std::string store =
        settings.store_root.empty() ? "your personal store" : path_to_utf8(settings.store_root);
    outcome.notes.push_back(store + " holds no certificate: import one with `orvane store import " +
                            (provider::has_store_folders() ? "FILE.p12`" : "FILE.pfx`"));
  }
  for (const auto& listed : listing.certificates) {
    if (listed.trusted) continue;
    if (const std::string hint = chain_hint(listed.chain_fault); !hint.empty()) {
      outcome.notes.push_back(listed.summary.serial + ": " + hint);
    }
  }
  return outcome;
}

std::string password_from(const std::string& file) {
  std::ifstream in(path_from_utf8(file), std::ios::binary);
  std::string line;
  if (!in || (!std::getline(in, line) && !in.eof())) {
    throw StoreError("cannot read the password file " + file + ": check the path");
  }
  // Files written on Windows end their lines in CR LF.
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

// What was stored where, for standard error.
std::string stored_note(const std::string& action, const StoredCertificate& certificate) {
  std::string note = action + " " + certificate.summary.subject + ", serial " +
                     certificate.summary.serial + ": " + path_to_utf8(certificate.certificate_file);
  if (!certificate.key_file.empty()) note += ", its key " + path_to_utf8(certificate.key_file);
  return note;
}

// What to do about a certificate that is not trusted yet; a root that came with it is the
// likely remedy.
std::string untrusted_note(const StoredCertificate& certificate,
                           const std::vector<StoredCertificate>& came_with) {
  std::string note =
      certificate.summary.serial + " is not trusted yet (" + certificate.why_not_trusted + ")";
  const auto root = std::find_if(came_with.begin(), came_with.end(), [](const auto& other) {
    return other.summary.subject == other.summary.issuer;
  });
  if (root != came_with.end() && certificate.summary.issuer != certificate.summary.subject) {
    return note + ": if you trust its root " + root->summary.subject + ", run `orvane store " +
           "trust " + path_to_utf8(root->certificate_file) + "`";
  }
  const std::string hint = chain_hint(certificate.chain_fault);
  return hint.empty() ? note : note + ": " + hint;
}

// One answer line for each of `items`, as `describe` gives it, with the notes it adds.
template <typename Item, typename Describe>
Outcome one_line_each(const std::vector<Item>& items, Describe describe) {
  std::vector<std::string> answer_lines;
  Outcome outcome;
  for (const Item& item : items) answer_lines.push_back(describe(item, outcome.notes));
  outcome.answer = lines(answer_lines);
  return outcome;
}

using Notes = std::vector<std::string>;

Outcome import_command(const Invocation& invocation, const Settings& settings) {
  std::optional<std::string> password;
  if (invocation.has_password_file) password = password_from(invocation.password_file);
  const auto imported =
      provider::import_into_store(settings.store_root, path_from_utf8(invocation.first), password);
  Outcome outcome =
      one_line_each(imported.personal, [&](const StoredCertificate& certificate, Notes& notes) {
        notes.push_back(stored_note("imported", certificate));
        if (!certificate.trusted)
          notes.push_back(untrusted_note(certificate, imported.authorities));
        return certificate.summary.serial;
      });
  for (const auto& certificate : imported.authorities) {
    outcome.notes.push_back(stored_note("added its chain certificate", certificate));
  }
  return outcome;
}

Outcome add_crl_command(const Invocation& invocation, const Settings& settings) {
  return one_line_each(
      provider::add_crl(settings.store_root, path_from_utf8(invocation.first)),
      [](const auto& crl, Notes& notes) {
        notes.push_back("added the CRL of " + crl.issuer + " of " + crl.this_update +
                        (crl.next_update.empty() ? "" : ", next update " + crl.next_update) + ": " +
                        path_to_utf8(crl.file));
        return crl.issuer;
      });
}

Outcome trust_command(const Invocation& invocation, const Settings& settings) {
  return one_line_each(provider::trust_roots(settings.store_root, path_from_utf8(invocation.first)),
                       [](const StoredCertificate& certificate, Notes& notes) {
                         notes.push_back(stored_note("trusted", certificate));
                         if (!certificate.warning.empty())
                           notes.push_back("warning: " + certificate.warning);
                         if (!certificate.trusted) notes.push_back(untrusted_note(certificate, {}));
                         return certificate.summary.serial;
                       });
}

}  // namespace

Outcome run_store_command(const Invocation& invocation, const Settings& settings) {
  try {
    if (settings.store_root.empty() && provider::has_store_folders()) {
      throw StoreError("no store folder is known: pass --store DIR or set ORVANE_STORE_DIR");
    }
    switch (invocation.command) {
      case Command::store_list:
        return list_command(settings);
      case Command::store_import:
        return import_command(invocation, settings);
      case Command::store_trust:
        return trust_command(invocation, settings);
      case Command::store_add_crl:
        return add_crl_command(invocation, settings);
      default:
        return {std::nullopt, exit_usage, {"not a store command"}};
    }
  } catch (const StoreError& error) {
    return {std::nullopt, exit_failure, {error.what()}};
  }
}

}  // namespace orvane::cli
