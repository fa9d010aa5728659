#!/usr/bin/env python3
# A browser as far as the login goes: loads the page, and when it redirects to a scheme of another program hands
# that URL to the program the desktop file registers for it (Exec=grinsley %U).
import os
import subprocess
import sys
import urllib.error
import urllib.request


class KeepRedirect(urllib.request.HTTPRedirectHandler):
    def redirect_request(self, *args, **kwargs):
        return None


try:
    urllib.request.build_opener(KeepRedirect).open(sys.argv[1], timeout=20)
    sys.exit("the login page did not redirect")
except urllib.error.HTTPError as answer:
    location = answer.headers["Location"]
subprocess.run([os.environ["GRINSLEY_PROGRAM"], location], check=True, timeout=60)
