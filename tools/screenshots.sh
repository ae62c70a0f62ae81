#!/usr/bin/env bash
# Starts the application under a virtual X server on a throw-away data
# directory and saves PNG screenshots of the login page, the first-run setup
# page, the main shell and the rental pages with their dialogs in both themes,
# and of every printed paper, into shots/ (or the folder given as the first
# argument), and refreshes the three that the README shows in
# docs/screenshots/. Drives the window with xdotool, as a user would; the
# rental pages and the sales, accounting, users and settings pages through
# their QML tests.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$root/shots}")
build_dir=${BUILD_DIR:-$root/build}

"$root/tools/install-deps.sh" --screenshots
"$root/tools/build.sh"
mkdir -p "$out"

work=$(mktemp -d)
app_pid=""
xvfb_pid=""
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

export HOME=$work/home XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME"
data_dir=$XDG_DATA_HOME/Sakanova/Sakanova
log=$data_dir/app.log

# A free display number, then a screen exactly the size of the window.
display=99
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
    display=$((display + 1))
done
Xvfb ":$display" -screen 0 1280x800x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
export DISPLAY=:$display
for _ in $(seq 50); do
    xdotool getmouselocation >/dev/null 2>&1 && break
    sleep 0.1
done
unset QT_QPA_PLATFORM QT_QUICK_BACKEND

start_app() {
    local before=0
    [ -f "$log" ] && before=$(grep -c 'QML root loaded successfully' "$log" || true)
    "$build_dir/sakanova" >"$work/app.out" 2>&1 &
    app_pid=$!
    for _ in $(seq 150); do
        if [ -f "$log" ] && [ "$(grep -c 'QML root loaded successfully' "$log" || true)" -gt "$before" ]; then
            break
        fi
        sleep 0.2
    done
    local win=""
    for _ in $(seq 50); do
        win=$(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null | head -n1 || true)
        [ -n "$win" ] && break
        sleep 0.2
    done
    [ -n "$win" ] || { echo "the window did not appear" >&2; cat "$work/app.out" >&2; exit 1; }
    xdotool windowmove "$win" 0 0
    # No window manager hands out the keyboard focus here.
    xdotool windowfocus --sync "$win" || true
    sleep 1.5 # entry animations
}

stop_app() {
    kill -TERM "$app_pid"
    wait "$app_pid" || true
    app_pid=""
}

shot() {
    sleep "${2:-1}"
    import -window root "$out/$1.png"
    echo "wrote $out/$1.png"
}

click() {
    xdotool mousemove "$1" "$2" click 1
}

# Window coordinates (the window sits at the screen's top-left corner).
light_segment=(262 36) # top bar: "نهاري", the left half of the theme switch
# Side-bar entry i (in reading order: 0 the dashboard, 1 the properties ...
# 10 the reports) in a window 800 high: the first entry's middle at 167,
# then one every 45 pixels.
entry_y() { echo $((167 + $1 * 45)); }

# The administrator's password once the first start has replaced the default.
admin_password=Nakheel-Office-2024

# Types into the focused field of the window.
type_text() {
    xdotool type --delay 30 "$1"
    sleep 0.2
}

# Signs in from the login page (its user name field has the keyboard).
sign_in() {
    type_text admin
    xdotool key Return
    type_text "$1"
    xdotool key Return
    sleep 1
}

# The first start of a new office: sign in with the default password, choose
# the administrator's own, then the setup page (company, currency, rates).
first_start() {
    local theme=$1
    sign_in vexil
    shot "login-new-password-$theme" 0.5
    type_text "$admin_password"
    xdotool key Return
    type_text "$admin_password"
    xdotool key Return
    # Hashing the new password takes a moment on a busy machine.
    shot "setup-$theme" 4
    # The company's name, then Return through phone, address and email,
    # which ends the setup.
    type_text "Sakanova Demo Office"
    xdotool key Return Return Return Return
}

# 1. First start: dark login page, the new password and the setup page of a
#    new office, the shell, then day mode.
start_app
shot login-dark
first_start dark
shot shell-dark 1.5
click 1160 "$(entry_y 1)" # the properties page
shot shell-dark-properties
click "${light_segment[@]}"
shot shell-light
click 1160 "$(entry_y 0)" # back to the dashboard
stop_app

# 2. Second start: the theme was kept, so the login page is light.
start_app
shot login-light
stop_app

# 3. The dashboard and the six report tabs with a small sample office, at
#    1280 x 720, in both themes.
shoot_insight_pages() {
    sqlite3 "$data_dir/sakanova.db" <"$root/tools/screenshots/insight-sample.sql"
    start_app
    sign_in "$admin_password"
    sleep 0.5
    local win
    win=$(xdotool search --onlyvisible --pid "$app_pid" | head -n1)
    # The side bar's lower entries need the full height; the pages are shot
    # at the smallest size they are laid out for.
    tall() { xdotool windowsize "$win" 1280 800; sleep 0.5; }
    short() { xdotool windowsize "$win" 1280 720; sleep 0.5; }
    # Scrolls the side bar back to its first entry, so entry_y holds.
    menu_top() { xdotool mousemove 1160 400 click 4 click 4 click 4 click 4 click 4 click 4; sleep 0.5; }
    # The report tabs, right to left, on the row under the page header.
    local tab_x=(955 820 712 604 483 352) tab_y=204
    local mode i
    for mode in dark light; do
        tall
        click "${insight_theme[$mode]}" 36
        menu_top
        click 1160 "$(entry_y 0)"
        short
        xdotool mousemove 600 500 click 4 click 4 click 4 click 4 click 4 click 4 click 4 click 4
        shot "insight-dashboard-$mode" 1.5
        xdotool mousemove 600 500 click 5 click 5 click 5 click 5 click 5 click 5 click 5 click 5
        shot "insight-dashboard-lower-$mode" 1
        tall
        menu_top
        click 1160 "$(entry_y 10)"
        short
        for i in 0 1 2 3 4 5; do
            click "${tab_x[$i]}" "$tab_y"
            shot "insight-reports-tab$i-$mode" 1
        done
    done
    stop_app
}
declare -A insight_theme=([dark]=348 [light]=262)
shoot_insight_pages

# 4. A second new office, in day mode: its first start again.
rm -f "$data_dir"/sakanova.db*
start_app
stop_app
sqlite3 "$data_dir/sakanova.db" "INSERT OR REPLACE INTO settings (key, value) VALUES ('theme_mode', 'light')"
start_app
first_start light
stop_app

# 5. The rental pages (properties, tenants, invoices, payments, maintenance)
#    and every one of their dialogs, filled with sample records, in both
#    themes at 1280 x 720. Their test drives the real window on its own
#    temporary database and saves each view when SAKANOVA_SHOTS_DIR is set.
SAKANOVA_SHOTS_DIR="$out" QT_QPA_PLATFORM=xcb \
    "$build_dir/tests/tst_rentalpages" everyPageAndDialogFitsInBothThemes >"$work/rental.out" 2>&1 ||
    { cat "$work/rental.out" >&2; exit 1; }

# 6. Sales, cheques, accounting (with the trial balance, a ledger and the
#    journal lines), users and settings pages with their dialogs,
#    the tenant statement and import dialogs, the expenses page and the
#    contractor payment and statement dialogs: the QML tests that drive
#    them on sample data save the window at each step, in both themes.
sales_and_admin_shots() {
    local theme
    for theme in dark light; do
        for test in tst_salespages tst_accountingpage tst_adminpages tst_tenantdialogs tst_invoiceactions tst_expensepages; do
            SAKANOVA_SHOTS_DIR="$out" SAKANOVA_SHOTS_THEME=$theme QT_QPA_PLATFORM=offscreen \
                QT_QUICK_BACKEND=software "$build_dir/tests/$test" >"$work/$test-$theme.out" 2>&1 ||
                { echo "$test failed in the $theme theme" >&2; cat "$work/$test-$theme.out" >&2; exit 1; }
        done
    done
    echo "page and dialog screenshots in $out"
}
sales_and_admin_shots

# 7. Every printed paper (report tabs, statements, invoices, receipts), as
#    PNG pages of the PDFs its test prints from a small office's books.
SAKANOVA_SHOTS_DIR="$out" QT_QPA_PLATFORM=offscreen "$build_dir/tests/tst_printpapers" \
    >"$work/prints.out" 2>&1 || { cat "$work/prints.out" >&2; exit 1; }

# The README's pictures: login, dashboard and a list page, without the time
# stamps ImageMagick writes, so an unchanged window gives unchanged files.
docs=$root/docs/screenshots
mkdir -p "$docs"
convert "$out/login-dark.png" -strip "$docs/login.png"
# The dashboard is shot at 1280 x 720 on a taller screen: keep the window.
convert "$out/insight-dashboard-dark.png" -crop 1280x720+0+0 +repage -strip "$docs/dashboard.png"
convert "$out/rental-properties-dark.png" -strip "$docs/properties.png"

echo "screenshots in $out; README pictures in $docs"
