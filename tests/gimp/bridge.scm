; The bridge's side of the GIMP tests: Script-Fu functions that load images, send them through
; plug-in-quenfield-export and report each outcome as a line "RESULT <case> <words>" through gimp-message,
; which a batch GIMP prints on its standard error.

(define (report name . words)
  (gimp-message (apply string-append "RESULT " name (map (lambda (w) (string-append " " w)) words))))

; The companion of the tests moves each export into OUT; the next export empties the export folder, so
; it waits for that before going on, for up to 300 looks.
(define (await-taken out stem)
  (let loop ((tries 0))
    (cond ((> (car (file-glob (string-append out "/" stem ".*") 1)) 0) #t)
          ((> tries 300) #f)
          (else (loop (+ tries 1))))))

; "sent", "lost" (exported, but the companion never took it) or "failed" (an execution error).
(define (send img out stem)
  (if (eq? (catch 'failed (plug-in-quenfield-export RUN-NONINTERACTIVE img -1) 'sent) 'sent)
      (if (or (not out) (await-taken out stem)) "sent" "lost")
      "failed"))

(define (open-image path)
  (car (gimp-file-load RUN-NONINTERACTIVE path path)))

(define (stem-of path)
  (let* ((base (car (last (strbreakup path "/"))))
         (parts (strbreakup base ".")))
    (unbreakupstr (butlast parts) ".")))

; Each file on its own, as a user would open it; also the precision GIMP gave it.
(define (send-files out paths)
  (for-each (lambda (path)
              (let ((img (open-image path))
                    (stem (stem-of path)))
                (report (string-append stem "-precision") (number->string (car (gimp-image-get-precision img))))
                (report stem (send img out stem))
                (gimp-image-delete img)))
            paths))

; A file converted to another precision first, then sent; also saved as PNG by GIMP itself, which keeps the
; converted values, for the reference host.
(define (send-converted out path precision saved-png)
  (let ((img (open-image path))
        (stem (stem-of path)))
    (gimp-image-convert-precision img precision)
    (report stem (send img out stem))
    (file-png-save2 RUN-NONINTERACTIVE img (car (gimp-image-get-active-drawable img)) saved-png saved-png
                    0 9 0 0 0 0 0 0 0)
    (gimp-image-delete img)))

(define (layer-ids img)
  (vector->list (cadr (gimp-image-get-layers img))))

; Items made and deleted between two probes have numbers between theirs; one still valid was left behind.
(define (items-left-between first last)
  (let loop ((id (+ first 1)) (left 0))
    (if (>= id last)
        left
        (loop (+ id 1) (if (= (car (gimp-item-is-valid id)) 1) (+ left 1) left)))))

(define (probe-item img)
  (let ((probe (car (gimp-channel-new img 1 1 "probe" 0 '(0 0 0)))))
    (gimp-item-delete probe)
    probe))

; A picture with a second, half transparent layer over part of it, sent as it is; then GIMP's own
; flattened copy of it, saved as PNG for the reference host. The user's image must come back unchanged:
; the same layers, nothing new in its undo history (it stays clean), no image or item left over.
(define (send-layered out base over flat-png)
  (let* ((img (open-image base))
         (stem (stem-of base))
         (top (car (gimp-file-load-layer RUN-NONINTERACTIVE img over))))
    (gimp-image-insert-layer img top 0 -1)
    (gimp-layer-set-offsets top 3 2)
    (gimp-layer-set-opacity top 50)
    (gimp-image-clean-all img)
    (let* ((layers (layer-ids img))
           (images (car (gimp-image-list)))
           (first (probe-item img))
           (outcome (send img out stem))
           (last (probe-item img)))
      (report stem outcome)
      (report (string-append stem "-layers") (if (equal? layers (layer-ids img)) "same" "changed"))
      (report (string-append stem "-undo") (if (= (car (gimp-image-is-dirty img)) 0) "clean" "dirty"))
      (report (string-append stem "-images") (number->string (- (car (gimp-image-list)) images)) "more")
      (report (string-append stem "-items") (number->string (items-left-between first last)) "left"))
    (let ((copy (car (gimp-image-duplicate img))))
      (gimp-image-flatten copy)
      (file-png-save2 RUN-NONINTERACTIVE copy (car (gimp-image-get-active-drawable copy)) flat-png flat-png
                      0 9 0 0 0 0 0 0 0)
      (gimp-image-delete copy))
    (gimp-image-delete img)))

(define (show-about mode)
  (report "about" (if (eq? (catch 'failed (plug-in-quenfield-about mode) 'shown) 'shown)
                      "shown" "failed")))
