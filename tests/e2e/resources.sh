#!/usr/bin/env bash
# The built vantro.exe's resources as the system reads them: the project's
# version in its version information, a manifest asking for administrator
# rights and declaring per-monitor DPI awareness and nothing else, and the
# icon group MAINICON with its five 32-bit images. Where the tests run a 64-bit build,
# the 32-bit launcher that ships (VANTRO_SHIPPED_EXE, built but not runnable
# here) is read the same way.
. "$(dirname "$0")/e2e-lib.sh"
e2e_begin resources

# The manifest's DPI settings where the system looks for them: by namespace,
# in application/windowsSettings; and what the manifest and its settings hold.
manifest_xml='
import sys, xml.etree.ElementTree as ET
v3 = "{urn:schemas-microsoft-com:asm.v3}"
root = ET.fromstring(sys.stdin.read().strip())
settings = root.find(v3 + "application/" + v3 + "windowsSettings")
if settings is None: settings = ET.Element("none")
def text(year, name):
    e = settings.find("{http://schemas.microsoft.com/SMI/%s/WindowsSettings}%s" % (year, name))
    return "<none>" if e is None else (e.text or "").strip()
def names(parent):
    return " ".join(child.tag.split("}")[-1] for child in parent)
if sys.argv[1] == "dpi":
    print(text(2005, "dpiAware"), "|", text(2016, "dpiAwareness"))
else:
    print(names(root), "|", names(settings))
'
manifest_dpi() { python3 -c "$manifest_xml" dpi; }
manifest_outline() { python3 -c "$manifest_xml" outline; }

# check <exe as Windows path> <label>
check() {
  local exe=$1 label=$2 out manifest
  out=$(e2e_robot resources "$exe")
  e2e_say "$out"
  value() { sed -n "s/^$1: //p" <<<"$out"; }
  e2e_expect "$label: file version (GetFileVersionInfo)" "$(value 'file version')" "$VANTRO_VERSION"
  e2e_expect "$label: product version" "$(value 'product version')" "$VANTRO_VERSION"
  e2e_expect "$label: version strings" "$(value FileVersion) $(value ProductVersion) $(value CompanyName) $(value ProductName)" \
    "$VANTRO_VERSION 1.0.0.0 Vantro Vantro"
  e2e_expect "$label: other strings empty" "$(value FileDescription)$(value InternalName)$(value OriginalFilename)" ""
  manifest=$(value manifest)
  e2e_expect "$label: manifest asks for administrator rights" \
    "$(grep -o 'requestedExecutionLevel level="[a-zA-Z]*"' <<<"$manifest")" 'requestedExecutionLevel level="requireAdministrator"'
  e2e_expect "$label: manifest declares per-monitor DPI awareness, with the older setting for Windows before 10 1607" \
    "$(manifest_dpi <<<"$manifest")" "true/pm | PerMonitorV2, PerMonitor"
  e2e_expect "$label: manifest holds nothing else" "$(manifest_outline <<<"$manifest")" \
    "trustInfo application | dpiAware dpiAwareness"
  e2e_expect "$label: icon images" "$(value 'icon MAINICON')" "128x32bit 96x32bit 64x32bit 48x32bit 32x32bit"
}

check "$E2E_EXE" "tested build"
if [ -n "${VANTRO_SHIPPED_EXE:-}" ]; then
  cp "$VANTRO_SHIPPED_EXE" "$E2E_APP/shipped.exe"
  e2e_expect "shipped build is a 32-bit Windows program" \
    "$(objdump -f "$E2E_APP/shipped.exe" | sed -n 's/.*file format //p')" "pei-i386"
  check 'C:\vantro\shipped.exe' "shipped 32-bit build"
fi
e2e_finish
