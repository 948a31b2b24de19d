# shellcheck shell=bash
# The report program under Wine: its CSV of the sample logs (UTF-8, as on the host)
# equals the host's golden output. The emulated 32-bit build is left out: one more
# start would cost most of a minute.
step_report() {
  local arch out
  for arch in $ARCHS; do
    [ "$arch" = win32 ] && [ "$WINE32" != native ] && continue
    note "the report program of $arch under Wine"
    fresh_prefix "$(prefix_of "$arch")"
    cp -r "$ROOT/tests/report/sample" "$(build_of "$arch")/tarsel-report.exe" "$WINE_RUN/drive_c/tarsel/"
    out="$(build_of "$arch")/wine-report.csv"
    (cd "$WINE_RUN/drive_c/tarsel" &&
      wine_in "$WINE_RUN" timeout 120 "$(loader_of "$arch")" 'C:\tarsel\tarsel-report.exe' \
        --format csv 'C:\tarsel\sample' </dev/null >"$out" 2>&1) ||
      fail "the report program of $arch under Wine (output: $out)"
    if cmp -s "$out" "$ROOT/tests/report/golden/sample.csv"; then
      echo "$out: the golden CSV"
    else
      diff "$out" "$ROOT/tests/report/golden/sample.csv" | head -20
      fail "the report program of $arch under Wine wrote another CSV"
    fi
  done
  end_run_prefix
}
