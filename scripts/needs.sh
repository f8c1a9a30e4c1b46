# Sourced by the set-up scripts: install_needs WHO PACKAGE... installs the Debian packages
# that WHO (the demo, the tests) needs and the machine lacks, with apt-get when running as
# root; otherwise it names them and ends the script with status 1.
install_needs() {
  local who="$1"
  shift
  (($#)) || return 0
  if [[ $(id -u) -eq 0 ]] && command -v apt-get >/dev/null; then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$@"
  else
    echo "$who needs: $*" >&2
    echo "Install with: sudo apt-get install -y $*" >&2
    exit 1
  fi
}
