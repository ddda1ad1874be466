.. Each line is one error.
        DC #10000
  +++
