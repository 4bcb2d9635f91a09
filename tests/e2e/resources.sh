#!/usr/bin/env bash
# The built vantro.exe's resources as the system reads them: version
# information 1.0.2.0, a manifest asking for administrator rights and nothing
# else, and the icon group MAINICON with its five 32-bit images. Where the
# tests run a 64-bit build, the 32-bit launcher that ships (VANTRO_SHIPPED_EXE,
# built but not runnable here) is read the same way.
. "$(dirname "$0")/e2e-lib.sh"
e2e_begin resources

# check <exe as Windows path> <label>
check() {
  local exe=$1 label=$2 out manifest
  out=$(e2e_robot resources "$exe")
  e2e_say "$out"
  value() { sed -n "s/^$1: //p" <<<"$out"; }
  e2e_expect "$label: file version (GetFileVersionInfo)" "$(value 'file version')" "1.0.2.0"
  e2e_expect "$label: product version" "$(value 'product version')" "1.0.2.0"
  e2e_expect "$label: version strings" "$(value FileVersion) $(value ProductVersion) $(value CompanyName) $(value ProductName)" \
    "1.0.2.0 1.0.0.0 Vantro Vantro"
  e2e_expect "$label: other strings empty" "$(value FileDescription)$(value InternalName)$(value OriginalFilename)" ""
  manifest=$(value manifest)
  e2e_expect "$label: manifest asks for administrator rights" \
    "$(grep -o 'requestedExecutionLevel level="[a-zA-Z]*"' <<<"$manifest")" 'requestedExecutionLevel level="requireAdministrator"'
  e2e_expect "$label: manifest holds nothing else" "$(grep -c -E 'dependency|compatibility|dpiAware' <<<"$manifest")" 0
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
