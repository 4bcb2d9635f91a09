#!/usr/bin/env bash
# The built vantro.exe's resources as the system reads them: version
# information 1.0.2.0, a manifest asking for administrator rights and nothing
# else, and the icon group MAINICON with its five 32-bit images.
. "$(dirname "$0")/e2e-lib.sh"
e2e_begin resources

out=$(e2e_robot resources "$E2E_EXE")
e2e_say "$out"
value() { sed -n "s/^$1: //p" <<<"$out"; }
e2e_expect "file version (GetFileVersionInfo)" "$(value 'file version')" "1.0.2.0"
e2e_expect "product version" "$(value 'product version')" "1.0.2.0"
e2e_expect "version strings" "$(value FileVersion) $(value ProductVersion) $(value CompanyName) $(value ProductName)" \
  "1.0.2.0 1.0.0.0 Vantro Vantro"
e2e_expect "other strings empty" "$(value FileDescription)$(value InternalName)$(value OriginalFilename)" ""
manifest=$(value manifest)
e2e_expect "manifest asks for administrator rights" \
  "$(grep -o 'requestedExecutionLevel level="[a-zA-Z]*"' <<<"$manifest")" 'requestedExecutionLevel level="requireAdministrator"'
e2e_expect "manifest holds nothing else" "$(grep -c -E 'dependency|compatibility|dpiAware' <<<"$manifest")" 0
e2e_expect "icon images" "$(value 'icon MAINICON')" "128x32bit 96x32bit 64x32bit 48x32bit 32x32bit"
e2e_finish
