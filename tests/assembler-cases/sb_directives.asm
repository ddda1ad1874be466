* Only a directive's dot and first two letters count.
        .ORG    $10
X       .EQU    5
        .DB     X
        .DATA   X
        .END
