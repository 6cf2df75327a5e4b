// SPDX-License-Identifier: GPL-3.0-or-later
#include "doctor/doctor.h"

#include <filesystem>

#include "doctor/checks.h"
#include "link/port_discovery.h"
#include "link/serial_transport.h"
#include "ui/vendrel.h"

namespace palor::doctor {
namespace {

bool sameNode(const std::string& a, const std::string& b) {
  std::error_code error;
  return a == b || std::filesystem::equivalent(a, b, error);
}

// The ports the window would try: the adapters' and PALOR_EXTRA_PORTS; or the one given.
std::vector<std::string> portsToCheck(const Request& request,
                                      const std::vector<UsbAdapter>& adapters) {
  if (request.port) return {*request.port};
  std::vector<std::string> ports;
  for (const UsbAdapter& a : adapters)
    if (!a.node.empty()) ports.push_back(a.node);
  for (std::string& extra : extraPorts()) ports.push_back(std::move(extra));
  return portList(std::move(ports));
}

void append(Findings& to, Findings more) {
  for (Finding& f : more) to.push_back(std::move(f));
}

Findings ownConnection(const OwnConnection& own) {
  if (!own.chargerConnected)
    return {{true, own.port, "this program has it open and is probing it now"}};
  Findings findings{{true, "charger on " + own.port, "answers (this program's own connection)"}};
  if (own.firmwareVersion)
    findings.push_back(
        {true, "pager on " + own.port,
         "firmware version " + std::to_string(*own.firmwareVersion) + ", supported"});
  return findings;
}

}  // namespace

std::optional<OwnConnection> ownConnectionOf(const FormState& form) {
  const PortWatch& watch = form.link().watch();
  if (watch.rememberedPort().empty()) return std::nullopt;
  OwnConnection own{watch.rememberedPort(), watch.state() != WatchState::Probing, std::nullopt};
  // The link items are on while a pager of a supported version is identified.
  if (own.chargerConnected && form.window().readFromPagerEnabled)
    own.firmwareVersion = form.firmwareVersion();
  return own;
}

Findings examine(const Request& request) {
  std::vector<UsbAdapter> adapters = usbAdapters();
  if (request.port)
    std::erase_if(adapters, [&](const UsbAdapter& a) {
      return a.node.empty() || !sameNode(a.node, *request.port);
    });
  Findings findings = checkAdapters(adapters, request.places, request.port.has_value());
  if (!request.port || !adapters.empty()) append(findings, checkUdevRule(adapters, request.places));
  findings.push_back(checkModemManager(adapters, request.places));
  findings.push_back(checkBrltty(request.places));
  const Identity who = Identity::current();
  for (const std::string& port : portsToCheck(request, adapters)) {
    if (request.own && sameNode(request.own->port, port)) {
      append(findings, ownConnection(*request.own));
      continue;
    }
    const PortOpenOutcome opened = checkPort(port);
    if (!opened && opened.error().kind == PortOpenError::Kind::NotFound) {
      findings.push_back(
          {false, port, "the port does not exist: plug the adapter in, or give the right path"});
      continue;
    }
    if (!opened && opened.error().kind == PortOpenError::Kind::NotATerminal) {
      findings.push_back({false, port, "not a serial port: give the charger's port"});
      continue;
    }
    findings.push_back(checkAccess(port, who));
    findings.push_back(checkHolders(port, request.places));
    if (opened)
      append(findings, probe(port, request.timing));
    else
      findings.push_back(
          {false, "charger on " + port, "not probed: the port cannot be opened (see above)"});
  }
  return findings;
}

bool allOk(const Findings& findings) {
  for (const Finding& f : findings)
    if (!f.ok) return false;
  return true;
}

std::string formatLine(const Finding& finding) {
  return std::string(finding.ok ? "ok       " : "PROBLEM  ") + finding.subject + ": " +
         finding.text;
}

std::string formatReport(const Findings& findings) {
  std::string text;
  for (const Finding& f : findings) text += formatLine(f) + '\n';
  return text;
}

}  // namespace palor::doctor
